#include "link/link_settings.h"

#include <gmock/gmock.h>

#include "link/connection_values.h"
#include "link/ini_file.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class LinkSettingsTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.File("KV26.INI");
  std::vector<std::string> warnings_;
};

// Each key's reading is checked where the dialog saves them all; here what
// the dialog does not show.
TEST_F(LinkSettingsTest, ReadsTheStepFileAndKeepsAModeWithoutATransport) {
  WriteBytes(ini_, Golden("link/windows.INI"));
  WriteIniValue(ini_, "Load Option", "ConnectMode", "3");
  const LinkSettings s = LoadLinkSettings(ini_, &warnings_);
  EXPECT_EQ(s.testFileName, "C:\\x\\y.tsf");
  EXPECT_EQ(s.connectMode, 3);
  EXPECT_THAT(warnings_, IsEmpty());
  EXPECT_EQ(LoadLinkSettings(folder_.File("none.INI"), nullptr).defaultPath,
            folder_.path().string());
}

// Whatever a hand-edited file holds, the key falls back to its default, the
// others are unaffected, and the caller gets one line naming key and value.
TEST_F(LinkSettingsTest, UnusableNumberGivesTheDefaultAndOneWarning) {
  for (const std::string line :
       {"ConnectMode=LAN", "ConnectMode=40000", "BaudRate=", "BaudRate=0", "BaudRate=-9600",
        "BaudRate=9600.5", "BaudRate=99999999999999999999999", "HandShake=4", "HandShake=comRTS",
        "Address=32", "Address=5x", "BoardNo=zero", "LanIP1=256", "LanIP4=-1", "LanIP2=1 2",
        "LanPort=0", "LanPort=65536", "LanPort=0x1F"}) {
    SCOPED_TRACE(line);
    const std::string key = line.substr(0, line.find('='));
    warnings_.clear();
    // The first of two keys counts, so the line under test wins over the port.
    WriteBytes(ini_, "[Load Option]\r\n" + line + "\r\nLanPort=5025\r\n");
    LinkSettings expected;
    expected.defaultPath = "/opt/kvload";
    expected.lanPort = key == "LanPort" ? expected.lanPort : 5025;
    EXPECT_EQ(ConnectionValues(LoadLinkSettings(ini_, &warnings_, "/opt/kvload")),
              ConnectionValues(expected));
    ASSERT_THAT(warnings_, SizeIs(1));
    EXPECT_THAT(warnings_[0], HasSubstr(key + "=\"" + line.substr(key.size() + 1) + "\""));
  }
}

TEST(ParseSettingInteger, AcceptsOnlyWholeDecimalNumbersInRange) {
  long long v = -1;
  EXPECT_TRUE(ParseSettingInteger(" +42 ", 0, 100, &v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(ParseSettingInteger("-32768", -32768, 32767, &v));
  EXPECT_EQ(v, -32768);
  EXPECT_FALSE(ParseSettingInteger("32768", -32768, 32767, &v));
  EXPECT_FALSE(ParseSettingInteger("-", -10, 10, &v));
  EXPECT_FALSE(ParseSettingInteger("", -10, 10, &v));
  EXPECT_FALSE(ParseSettingInteger("1e3", 0, 10000, &v));
  EXPECT_FALSE(ParseSettingInteger("--1", -10, 10, &v));
}

TEST(SerialDeviceName, MapsThePortSettingToADevice) {
  struct Case {
    const char* comPort;
    int number;
    const char* device;
  };
  const Case cases[] = {{"1", 1, "/dev/ttyS0"},
                        {" 20 ", 20, "/dev/ttyS19"},
                        {"3abc", 3, "/dev/ttyS2"},
                        {"0", 0, ""},
                        {"", 0, ""},
                        {"99999999999", 0, ""},
                        {"-1", 0, ""},
                        {"/dev/ttyUSB0", 0, "/dev/ttyUSB0"},
                        {"ttyACM0", 0, "ttyACM0"},
                        {"tty S0", 0, ""},
                        {"a;b", 0, ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(ComPortNumber(c.comPort), c.number) << c.comPort;
    EXPECT_EQ(SerialDeviceName(c.comPort), c.device) << c.comPort;
  }
}

// Only an unusable key of the transport in use keeps the connection shut.
TEST_F(LinkSettingsTest, UnusableConnectionKeysOfTheModeInUse) {
  struct Case {
    const char* lines;
    std::vector<std::string> keys;
  };
  const std::vector<Case> cases = {
      {"ConnectMode=2\r\nLanPort=0\r\n", {"LanPort"}},
      {"ConnectMode=2\r\nLanIP3=256\r\nLanPort=65536\r\n", {"LanIP3", "LanPort"}},
      {"ConnectMode=0\r\nLanPort=0\r\n", {}},
      {"ConnectMode=0\r\nHandShake=9\r\n", {"HandShake"}},
      {"ConnectMode=1\r\nAddress=40\r\n", {"Address"}},
      {"ConnectMode=7\r\n", {"ConnectMode"}},
      {"ConnectMode=x\r\n", {"ConnectMode"}},
      {"ConnectMode=2\r\nLanPort=4001\r\n", {}},
  };
  for (const Case& c : cases) {
    WriteBytes(ini_, std::string("[Load Option]\r\n") + c.lines);
    EXPECT_EQ(UnusableConnectionKeys(LoadLinkSettings(ini_, nullptr)), c.keys) << c.lines;
  }
}

}  // namespace
}  // namespace kv::test
