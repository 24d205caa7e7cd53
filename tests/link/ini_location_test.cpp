#include "link/ini_location.h"

#include <gmock/gmock.h>

namespace kv::test {
namespace {

struct LocationCase {
  const char* name;
  bool hasIni;
  bool writable;
  const char* userConfig;
  const char* expected;
};

class IniLocationTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(IniLocationTest, ChoosesTheProgramFolderWhenUsable) {
  const LocationCase& c = GetParam();
  EXPECT_EQ(IniFilePath({"/opt/kvload/bin", c.hasIni, c.writable, c.userConfig}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniLocationTest,
    ::testing::Values(LocationCase{"WritableBuildTree", false, true, "/home/op/.config/kvload",
                                   "/opt/kvload/bin/KV26.INI"},
                      LocationCase{"ExistingIniInReadOnlyFolder", true, false,
                                   "/home/op/.config/kvload", "/opt/kvload/bin/KV26.INI"},
                      LocationCase{"InstalledProgram", false, false, "/home/op/.config/kvload",
                                   "/home/op/.config/kvload/KV26.INI"},
                      LocationCase{"NoUserFolderKnown", false, false, "",
                                   "/opt/kvload/bin/KV26.INI"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace kv::test
