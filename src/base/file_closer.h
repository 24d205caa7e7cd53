#pragma once
// A FILE handle that closes itself.

#include <cstdio>
#include <memory>

namespace kv {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace kv
