#pragma once
// A fresh folder per test, removed with everything in it afterwards, and the
// byte-exact file helpers that go with it.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace kv::test {

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ =
        std::filesystem::temp_directory_path() /
        ("kv-test-" + std::string(info ? info->name() : "test") + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

/// Everything written to `f` so far, such as a std::tmpfile() standing in for
/// standard output.
inline std::string Contents(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buffer[1024];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
    text.append(buffer, n);
  }
  return text;
}

#ifdef KV_TEST_DATA_DIR
/// An expected file of tests/data, compared byte for byte.
inline std::string Golden(const std::string& name) {
  return ReadBytes(std::string(KV_TEST_DATA_DIR) + "/" + name);
}
#endif

}  // namespace kv::test
