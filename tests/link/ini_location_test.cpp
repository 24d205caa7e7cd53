#include "link/ini_location.h"

#include <gmock/gmock.h>

namespace kv {
namespace {

TEST(IniLocation, ChoosesTheProgramFolderWhenUsable) {
  struct Case {
    bool hasIni;
    bool writable;
    std::string userConfig;
    std::string expected;
  };
  const std::string user = "/home/op/.config/kvload";
  const std::string beside = "/opt/kvload/bin/KV26.INI";
  const Case cases[] = {
      {false, true, user, beside},               // the build tree
      {true, false, user, beside},               // an existing file in a read-only folder
      {false, false, user, user + "/KV26.INI"},  // an installed program
      {false, false, "", beside},                // no user folder known
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IniFilePath({"/opt/kvload/bin", c.hasIni, c.writable, c.userConfig}), c.expected)
        << c.hasIni << c.writable << c.userConfig;
  }
}

}  // namespace
}  // namespace kv
