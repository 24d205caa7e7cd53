#include "link/link_settings.h"

#include <gmock/gmock.h>

#include "link/ini_file.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class LinkSettingsTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.File("KV26.INI");
  std::vector<std::string> warnings_;
};

// The connection defaults show in the setup model's fresh-install case.
TEST_F(LinkSettingsTest, MissingFileGivesTheDefaultsWithoutAWarning) {
  const LinkSettings s = LoadLinkSettings(ini_, &warnings_, "/opt/kvload");
  EXPECT_EQ(s.boardNo, 0);
  EXPECT_EQ(s.testFileName, "");
  EXPECT_THAT(warnings_, IsEmpty());
}

TEST_F(LinkSettingsTest, DefaultPathDefaultsToTheIniFolderWhenNoProgramFolderIsGiven) {
  EXPECT_EQ(LoadLinkSettings(ini_, nullptr).defaultPath, folder_.path().string());
}

TEST_F(LinkSettingsTest, ReadsEveryKeyOfAWindowsFile) {
  WriteBytes(ini_, Golden("link/every_key.INI"));
  const LinkSettings s = LoadLinkSettings(ini_, &warnings_, "/opt/kvload");
  EXPECT_EQ(s.testFileName, "C:\\x\\y.tsf");
  EXPECT_EQ(s.connectMode, 2);
  EXPECT_EQ(s.baudRate, 38400);
  EXPECT_EQ(s.handShake, 3);
  EXPECT_EQ(s.comPort, "4");
  EXPECT_EQ(s.address, 12);
  EXPECT_EQ(LanAddressText(s), "10.0.0.7");
  EXPECT_EQ(s.lanPort, 40000);
  EXPECT_EQ(s.defaultPath, "C:\\Reports");
  EXPECT_THAT(warnings_, IsEmpty());
}

TEST_F(LinkSettingsTest, ModeWithoutATransportIsKept) {
  WriteIniValue(ini_, "Load Option", "ConnectMode", "3");
  EXPECT_EQ(LoadLinkSettings(ini_, &warnings_).connectMode, 3);
  EXPECT_THAT(warnings_, IsEmpty());
}

struct JunkCase {
  const char* key;
  const char* value;
};

class LinkSettingsJunkTest : public LinkSettingsTest,
                             public ::testing::WithParamInterface<JunkCase> {};

// Whatever a hand-edited file holds, the key falls back to its default, the
// others are unaffected, and the caller gets one line naming key and value.
TEST_P(LinkSettingsJunkTest, UnusableNumberGivesTheDefaultAndOneWarning) {
  WriteIniValues(ini_, "Load Option", {{"LanPort", "5025"}, {GetParam().key, GetParam().value}});
  const LinkSettings s = LoadLinkSettings(ini_, &warnings_);
  const LinkSettings defaults;
  EXPECT_EQ(s.connectMode, defaults.connectMode);
  EXPECT_EQ(s.baudRate, defaults.baudRate);
  EXPECT_EQ(s.handShake, defaults.handShake);
  EXPECT_EQ(s.address, defaults.address);
  EXPECT_EQ(s.lanIp, defaults.lanIp);
  if (std::string(GetParam().key) == "LanPort") {
    EXPECT_EQ(s.lanPort, defaults.lanPort);
  } else {
    EXPECT_EQ(s.lanPort, 5025);
  }
  ASSERT_THAT(warnings_, SizeIs(1));
  EXPECT_THAT(warnings_[0], HasSubstr(GetParam().key));
  EXPECT_THAT(warnings_[0], HasSubstr(std::string("\"") + GetParam().value + "\""));
}

INSTANTIATE_TEST_SUITE_P(
    Junk, LinkSettingsJunkTest,
    ::testing::Values(JunkCase{"ConnectMode", "LAN"}, JunkCase{"ConnectMode", "40000"},
                      JunkCase{"BaudRate", ""}, JunkCase{"BaudRate", "0"},
                      JunkCase{"BaudRate", "-9600"}, JunkCase{"BaudRate", "9600.5"},
                      JunkCase{"BaudRate", "99999999999999999999999"}, JunkCase{"HandShake", "4"},
                      JunkCase{"HandShake", "comRTS"}, JunkCase{"Address", "32"},
                      JunkCase{"Address", "5x"}, JunkCase{"BoardNo", "zero"},
                      JunkCase{"LanIP1", "256"}, JunkCase{"LanIP4", "-1"},
                      JunkCase{"LanIP2", "1 2"}, JunkCase{"LanPort", "0"},
                      JunkCase{"LanPort", "65536"}, JunkCase{"LanPort", "0x1F"}));

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

struct PortCase {
  const char* comPort;
  int number;
  const char* device;
};

class SerialDeviceNameTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(SerialDeviceNameTest, MapsThePortSettingToADevice) {
  EXPECT_EQ(ComPortNumber(GetParam().comPort), GetParam().number);
  EXPECT_EQ(SerialDeviceName(GetParam().comPort), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, SerialDeviceNameTest,
    ::testing::Values(PortCase{"1", 1, "/dev/ttyS0"}, PortCase{"16", 16, "/dev/ttyS15"},
                      PortCase{" 20 ", 20, "/dev/ttyS19"}, PortCase{"3abc", 3, "/dev/ttyS2"},
                      PortCase{"0", 0, ""}, PortCase{"", 0, ""}, PortCase{"   ", 0, ""},
                      PortCase{"99999999999", 0, ""}, PortCase{"-1", 0, ""},
                      PortCase{"/dev/ttyUSB0", 0, "/dev/ttyUSB0"},
                      PortCase{"/dev/pts/7", 0, "/dev/pts/7"}, PortCase{"ttyACM0", 0, "ttyACM0"},
                      PortCase{"tty S0", 0, ""}, PortCase{"a;b", 0, ""}));

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
