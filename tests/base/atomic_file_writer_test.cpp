// The one writer behind the step file, the CSV chunks and the settings file.

#include "base/atomic_file_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace kv {
namespace {

namespace fs = std::filesystem;
using Arrange = std::function<void(const fs::path&)>;

void Put(const fs::path& path, const std::string& bytes, fs::perms access = fs::perms::none) {
  std::ofstream(path, std::ios::binary) << bytes;
  if (access != fs::perms::none) {
    fs::permissions(path, access);
  }
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> Entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

constexpr auto kShared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
constexpr auto kReadOnly = fs::perms::owner_read | fs::perms::group_read;
constexpr auto kAnyAccess = fs::perms::unknown;

TEST(AtomicFileWriter, Rules) {
  struct Case {
    const char* name;
    Arrange arrange;
    const char* target;
    AtomicWriteStage failure;
    std::set<std::string> entries;  // the folder afterwards: no temporary left
    const char* checked;            // the file that then holds `content` ("" = the new data)
    const char* content;
    fs::perms access;
    bool failWrites;
  };
  const Arrange none = [](const fs::path&) {};
  const Case cases[] = {
      {"permissions kept",
       [](const fs::path& d) { Put(d / "a", "old", kShared); },
       "a",
       AtomicWriteStage::None,
       {"a"},
       "a",
       "",
       kShared,
       false},
      {"write-protected target refused",
       [](const fs::path& d) { Put(d / "a", "old", kReadOnly); },
       "a",
       AtomicWriteStage::ReadOnly,
       {"a"},
       "a",
       "old",
       kReadOnly,
       false},
      {"symlink followed",
       [](const fs::path& d) {
         Put(d / "real", "old");
         fs::create_symlink(d / "real", d / "link");
       },
       "link",
       AtomicWriteStage::None,
       {"link", "real"},
       "real",
       "",
       kAnyAccess,
       false},
      {"folder missing",
       none,
       "no/a",
       AtomicWriteStage::Create,
       {},
       nullptr,
       "",
       kAnyAccess,
       false},
      {"target is a folder",
       [](const fs::path& d) { fs::create_directory(d / "a"); },
       "a",
       AtomicWriteStage::Replace,
       {"a"},
       nullptr,
       "",
       kAnyAccess,
       false},
      {"write fails",
       [](const fs::path& d) { Put(d / "a", "old"); },
       "a",
       AtomicWriteStage::Write,
       {"a"},
       "a",
       "old",
       kAnyAccess,
       true},
      {"a file in the temporary's place is not ours",
       [](const fs::path& d) { Put(d / "a.kvtmp", "foreign"); },
       "a",
       AtomicWriteStage::None,
       {"a", "a.kvtmp"},
       "a.kvtmp",
       "foreign",
       kAnyAccess,
       false},
  };
  const std::string data(4096, 'n');
  const fs::path dir =
      fs::temp_directory_path() / ("kv_writer_" + std::to_string(std::random_device{}()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    c.arrange(dir);
    // A file-size limit makes write() fail (EFBIG), for root too.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    if (c.failWrites) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit low = saved;
      low.rlim_cur = 1024;
      setrlimit(RLIMIT_FSIZE, &low);
    }
    AtomicWriteError error;
    const bool ok = WriteFileAtomically((dir / c.target).string(), data, &error);
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(ok, c.failure == AtomicWriteStage::None);
    EXPECT_EQ(error.stage, c.failure);
    EXPECT_EQ(Entries(dir), c.entries);
    if (c.checked != nullptr) {
      EXPECT_EQ(Read(dir / c.checked), *c.content != '\0' ? std::string(c.content) : data);
      if (c.access != kAnyAccess) {
        EXPECT_EQ(fs::status(dir / c.checked).permissions(), c.access);
      }
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kv
