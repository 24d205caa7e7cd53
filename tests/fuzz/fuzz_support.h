#pragma once
// What every fuzz target shares: the entry point, a scratch folder of the
// process, file helpers and a way to report a broken property so that
// libFuzzer keeps the input. Each target is one program of one .cpp that
// includes this once and defines FuzzOne().

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <unistd.h>

namespace kv::fuzz {

/// What the target does with one input.
void FuzzOne(FuzzedDataProvider& in);

/// A folder of this process under the temporary folder, created at first
/// use and removed at exit.
inline const std::string& ScratchFolder() {
  static const struct Folder {
    std::string path =
        (std::filesystem::temp_directory_path() / ("kvload-fuzz-" + std::to_string(::getpid())))
            .string();
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } folder;
  return folder.path;
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A property every input must keep: libFuzzer reports the abort as a crash
/// and saves the input.
inline void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "broken property: %s\n", what);
    std::abort();
  }
}

}  // namespace kv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  kv::fuzz::FuzzOne(in);
  return 0;
}
