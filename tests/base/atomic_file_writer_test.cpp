// The one writer behind the step file, the CSV chunks and the settings file.

#include "base/atomic_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "support/platform.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;

struct Seen {
  std::string bytes;
  fs::perms access;
  fs::path resolved;
};

// Every name in the folder, with what its regular files (links followed) hold.
std::map<std::string, Seen> Snapshot(const fs::path& dir) {
  std::map<std::string, Seen> seen;
  for (const auto& entry : fs::directory_iterator(dir)) {
    Seen& s = seen[entry.path().filename().string()];
    if (fs::is_regular_file(entry.path())) {
      s = {ReadBytes(entry.path()), fs::status(entry.path()).permissions(),
           fs::weakly_canonical(entry.path())};
    }
  }
  return seen;
}

// Whatever happens, only the target (or the file it links to) changes: it
// gets the new bytes with its old permissions, and no temporary is left.
TEST(AtomicFileWriter, Rules) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> arrange;
    const char* target;
    AtomicWriteStage failure;
    bool posixOnly = false;  // symbolic links and a file-size limit
  };
  const auto oldFile = [](fs::perms access) {
    return [access](const fs::path& d) {
      WriteBytes(d / "a", "old");
      fs::permissions(d / "a", access);
    };
  };
  const auto group = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  const auto readOnly = fs::perms::owner_read | fs::perms::group_read;
  const Case cases[] = {
      {"permissions kept", oldFile(group), "a", AtomicWriteStage::None},
      {"write-protected target refused", oldFile(readOnly), "a", AtomicWriteStage::ReadOnly},
      {"symlink followed",
       [](const fs::path& d) {
         WriteBytes(d / "real", "old");
         fs::create_symlink(d / "real", d / "link");
       },
       "link", AtomicWriteStage::None, true},
      {"folder missing", [](const fs::path&) {}, "no/a", AtomicWriteStage::Create},
      {"target is a folder", [](const fs::path& d) { fs::create_directory(d / "a"); }, "a",
       AtomicWriteStage::Replace},
      {"write fails", oldFile(fs::perms::owner_all), "a", AtomicWriteStage::Write, true},
      {"a file in the temporary's place is not ours",
       [](const fs::path& d) { WriteBytes(d / "a.kvtmp", "foreign"); }, "a",
       AtomicWriteStage::None},
  };
  const std::string data(4096, 'n');
  for (const Case& c : cases) {
    if (c.posixOnly && test::kWindows) {
      continue;
    }
    SCOPED_TRACE(c.name);
    const test::TempFolder folder;
    const fs::path& dir = folder.path();
    c.arrange(dir);
    const std::map<std::string, Seen> before = Snapshot(dir);
    const fs::path resolvedTarget = fs::weakly_canonical(dir / c.target);
    std::optional<test::FileSizeLimit> limit;
    if (c.failure == AtomicWriteStage::Write) {
      limit.emplace(1024);
    }
    AtomicWriteError error;
    const bool ok = WriteFileAtomically((dir / c.target).string(), data, &error);
    limit.reset();

    EXPECT_EQ(ok, c.failure == AtomicWriteStage::None);
    EXPECT_EQ(error.stage, c.failure);
    std::set<std::string> names;
    if (ok) {
      names.insert(c.target);
      EXPECT_EQ(ReadBytes(dir / c.target), data);
    }
    for (const auto& [name, old] : before) {
      names.insert(name);
      if (!old.resolved.empty()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBytes(dir / name), ok && old.resolved == resolvedTarget ? data : old.bytes);
        EXPECT_EQ(fs::status(dir / name).permissions(), old.access);
      }
    }
    std::set<std::string> after;
    for (const auto& [name, seen] : Snapshot(dir)) {
      after.insert(name);
    }
    EXPECT_EQ(after, names);
  }
}

}  // namespace
}  // namespace kv
