#include "base/file_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The names of one file are one file and two files are two, whatever numbers
// the system tells them apart by (Windows has no inodes).
TEST(FileIdentity, NamesOfOneFileAlikeAndTwoFilesApart) {
  const test::TempFolder folder;
  const fs::path& d = folder.path();
  test::WriteBytes(d / "a", "a");
  test::WriteBytes(d / "b", "b");
  fs::create_hard_link(d / "a", d / "hard");
  fs::create_directory(d / "sub");
  const struct {
    fs::path other;
    bool same;
  } cases[] = {{d / "a", true},
               {d / "sub" / ".." / "a", true},
               {d / "hard", true},
               {d / "b", false},
               {d / "missing", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsSameFile(IdentifyFile((d / "a").string()), IdentifyFile(c.other.string())), c.same)
        << c.other;
  }
}

}  // namespace
}  // namespace kv
