// The connection settings as start-up reads them from KV26.INI, and as the
// "Connect Setup" dialog shows and saves them.
#include "link/link_settings.h"

#include <gmock/gmock.h>

#include <tuple>

#include "link/connection_setup_model.h"
#include "link/ini_file.h"
#include "support/platform.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr char kProgramFolder[] = "/opt/kvload";

// Every value that opens a connection or lands in the file, compared and
// printed at once.
auto ConnectionValues(const LinkSettings& s) {
  return std::make_tuple(s.connectMode, s.baudRate, s.handShake, s.comPort, s.boardNo, s.address,
                         s.lanIp, s.lanPort, s.defaultPath);
}

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
    expected.defaultPath = kProgramFolder;
    expected.lanPort = key == "LanPort" ? expected.lanPort : 5025;
    EXPECT_EQ(ConnectionValues(LoadLinkSettings(ini_, &warnings_, kProgramFolder)),
              ConnectionValues(expected));
    ASSERT_THAT(warnings_, SizeIs(1));
    EXPECT_THAT(warnings_[0], HasSubstr(key + "=\"" + line.substr(key.size() + 1) + "\""));
  }
}

TEST(ParseSettingInteger, AcceptsOnlyWholeDecimalNumbersInRange) {
  long long v = -1;
  EXPECT_TRUE(ParseSettingInteger(" +42 ", 0, 100, &v) && v == 42);
  EXPECT_TRUE(ParseSettingInteger("-32768", -32768, 32767, &v) && v == -32768);
  for (const char* text : {"32768", "-", "", "1e3", "--1"}) {
    EXPECT_FALSE(ParseSettingInteger(text, -32768, 32767, &v)) << text;
  }
}

TEST(SerialDeviceName, MapsThePortSettingToADevice) {
  struct Case {
    const char* comPort;
    int number;
    const char* device;
    const char* windowsDevice = nullptr;  // when it differs
  };
  const Case cases[] = {{"1", 1, "/dev/ttyS0", "COM1"},
                        {" 20 ", 20, "/dev/ttyS19", "COM20"},
                        {"3abc", 3, "/dev/ttyS2", "COM3"},
                        {"COM4", 0, "COM4"},
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
    EXPECT_EQ(SerialDeviceName(c.comPort),
              kWindows && c.windowsDevice != nullptr ? c.windowsDevice : c.device)
        << c.comPort;
  }
  EXPECT_EQ(SerialLineSettingsText(38400), "38400,n,8,1");
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

// Settings in use that differ from the defaults, so that a value taken from
// the wrong side shows.
LinkSettings InUse() {
  LinkSettings s;
  s.connectMode = 2;
  s.handShake = 1;
  return s;
}

class ConnectionSetupTest : public LinkSettingsTest {
 protected:
  // Opens the dialog on the current file, as a fresh dialog each time.
  ConnectionSetupModel& Open() {
    model_ = std::make_unique<ConnectionSetupModel>(ini_, kProgramFolder);
    model_->Start(&settings_, &warnings_);
    return *model_;
  }

  // What Save put in use is what the next start-up reads from the file.
  void ExpectInUseAsInTheFile() {
    EXPECT_EQ(ConnectionValues(settings_), ConnectionValues(LoadLinkSettings(ini_, nullptr)));
  }

  LinkSettings settings_ = InUse();
  std::unique_ptr<ConnectionSetupModel> model_;
};

TEST_F(ConnectionSetupTest, FreshInstallShowsAndSavesTheDefaults) {
  Open();
  EXPECT_EQ(model_->VisibleFrame(), 0);
  // Cancel leaves only the default path, written when the dialog opened.
  EXPECT_EQ(ReadBytes(ini_), "[Load Option]\r\nDefaultPath=/opt/kvload\r\n");
  ASSERT_TRUE(model_->Save(&settings_).written);
  LinkSettings defaults;
  defaults.defaultPath = kProgramFolder;
  EXPECT_EQ(ConnectionValues(settings_), ConnectionValues(defaults));
  ExpectInUseAsInTheFile();
  EXPECT_FALSE(IniDocument::Load(ini_).Has("Publish", "Broker"));  // off stays unwritten
  Open().fields().broker = "mqtt://lab";
  ASSERT_TRUE(model_->Save(&settings_).written);
  EXPECT_EQ(ReadIniValue(ini_, "Publish", "Broker", ""), "mqtt://lab");
}

// What the file holds shows in the dialog, and Save writes it back, except
// where the dialog keeps the value in use or always saves the board as 0.
// ConnectMode and BoardNo come from the file, not from the settings in use.
TEST_F(ConnectionSetupTest, FileValuesShowAndAreSavedBack) {
  using F = ConnectionSetupFields;
  struct Case {
    const char* line;
    std::string (*shown)(const F&, const LinkSettings&);
    const char* expected;
    const char* saved;
  };
  const auto handShake = [](const F& f, const LinkSettings&) { return f.handShake; };
  const auto lanPort = [](const F& f, const LinkSettings&) { return f.lanPort; };
  const auto option = [](const F& f, const LinkSettings&) {
    return std::to_string(f.selectedOption);
  };
  const auto board = [](const F&, const LinkSettings& s) { return std::to_string(s.boardNo); };
  const Case cases[] = {
      {"HandShake=3", handShake, "comRTSXOnXOff", "3"},
      // No list entry: nothing shows, and Save keeps the handshake in use.
      {"HandShake=9", handShake, "", "1"},
      {"LanPort=40000", lanPort, "40000", "40000"},
      {"LanPort=65535", lanPort, "65535", "65535"},
      // No option button for the mode: none is selected and Save keeps it.
      {"ConnectMode=7", option, "-1", "7"},
      {"BoardNo=3", board, "3", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string line = c.line;
    settings_ = InUse();
    WriteBytes(ini_, "[Load Option]\r\n" + line + "\r\n");
    EXPECT_EQ(c.shown(Open().fields(), settings_), c.expected);
    ASSERT_TRUE(model_->Save(&settings_).written);
    EXPECT_EQ(ReadIniValue(ini_, "Load Option", line.substr(0, line.find('=')), ""), c.saved);
    ExpectInUseAsInTheFile();
  }
  EXPECT_EQ(HandShakeIndex("comrts"), -1);  // names match exactly
}

TEST_F(ConnectionSetupTest, JunkInTheFileIsShownAsItStandsAndTheModeFallsBack) {
  WriteIniValues(ini_, "Load Option", {{"ConnectMode", "serial"}, {"BaudRate", "fast"}});
  Open();
  EXPECT_EQ(settings_.connectMode, 0);
  EXPECT_EQ(model_->fields().baudRate, "fast");
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_THAT(warnings_[0], HasSubstr("ConnectMode"));
}

TEST_F(ConnectionSetupTest, SaveRefusesNamingTheFieldAndWritesNothing) {
  struct Case {
    void (*edit)(ConnectionSetupFields&);
    const char* fieldNamed;
  };
  const Case cases[] = {
      {[](ConnectionSetupFields& f) { f.baudRate = "3000000000"; }, "Baudrate"},
      {[](ConnectionSetupFields& f) { f.baudRate = ""; }, "Baudrate"},
      {[](ConnectionSetupFields& f) { f.address = "40"; }, "Address"},
      {[](ConnectionSetupFields& f) { f.lanIp[0] = "ten"; }, "IP Address"},
      {[](ConnectionSetupFields& f) { f.lanIp[3] = "300"; }, "IP Address"},
      {[](ConnectionSetupFields& f) { f.lanPort = "65536"; }, "Port"},
      {[](ConnectionSetupFields& f) { f.comPort = "7\n"; }, "COM Port"},
      {[](ConnectionSetupFields& f) { f.defaultPath = "/a\r\n[Load Option]"; }, "Default Path"},
      {[](ConnectionSetupFields& f) { f.broker = "ftp://lab"; }, "Broker: refused"},
      {[](ConnectionSetupFields& f) { f.broker = "mqtt://ok\n[Load Option]"; }, "Broker"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fieldNamed);
    Open().SetBrokerCheck([](const std::string& b) { return b == "mqtt://ok" ? "" : "refused"; });
    const std::string before = ReadBytes(ini_);
    const LinkSettings opened = settings_;
    model_->fields().selectedOption = 1;
    c.edit(model_->fields());
    const ConnectionSaveOutcome outcome = model_->Save(&settings_);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_FALSE(outcome.written);
    EXPECT_THAT(outcome.message, HasSubstr(c.fieldNamed));
    EXPECT_EQ(ReadBytes(ini_), before);
    EXPECT_EQ(ConnectionValues(settings_), ConnectionValues(opened));
  }
}

}  // namespace
}  // namespace kv::test
