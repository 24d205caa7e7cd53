#include "base/native_file.h"

#include <utility>

namespace kv {

// What both systems' files share: a handle owned by one object at a time.
NativeFile::~NativeFile() {
  Close();
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)) {}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}

}  // namespace kv
