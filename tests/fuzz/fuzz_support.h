#pragma once
// Shared by the fuzz targets: a scratch folder of the process and a way to
// report a broken property so that libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace kv::fuzz {

/// A folder of this process under the temporary folder, created once and
/// removed at exit.
inline const std::string& ScratchFolder() {
  struct Folder {
    Folder() : path((std::filesystem::temp_directory_path() / "kvload-fuzz-XXXXXX").string()) {
      if (::mkdtemp(path.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
      }
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
    std::string path;
  };
  static const Folder folder;
  return folder.path;
}

inline std::string ScratchPath(std::string_view name) {
  return ScratchFolder() + "/" + std::string(name);
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A property every input must keep did not hold: libFuzzer reports the
/// abort as a crash and saves the input.
[[noreturn]] inline void Broken(const char* what) {
  std::fprintf(stderr, "broken property: %s\n", what);
  std::abort();
}

inline void Require(bool holds, const char* what) {
  if (!holds) {
    Broken(what);
  }
}

}  // namespace kv::fuzz
