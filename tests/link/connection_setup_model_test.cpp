#include "link/connection_setup_model.h"

#include <gmock/gmock.h>

#include "link/ini_file.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kProgramFolder[] = "/opt/kvload";

class ConnectionSetupTest : public ::testing::Test {
 protected:
  // Opens the dialog on the current file, as a fresh dialog each time.
  ConnectionSetupModel& Open() {
    model_ = std::make_unique<ConnectionSetupModel>(ini_, kProgramFolder);
    model_->Start(&settings_, &warnings_);
    return *model_;
  }

  TempFolder folder_;
  std::string ini_ = folder_.File("KV26.INI");
  LinkSettings settings_;
  std::vector<std::string> warnings_;
  std::unique_ptr<ConnectionSetupModel> model_;
};

TEST_F(ConnectionSetupTest, FreshInstallShowsTheDefaults) {
  const ConnectionSetupFields& f = Open().fields();
  EXPECT_EQ(f.selectedOption, 0);
  EXPECT_EQ(model_->VisibleFrame(), 0);
  EXPECT_EQ(f.baudRate, "115200");
  EXPECT_EQ(f.handShake, "comRTS");
  EXPECT_EQ(f.comPort, "1");
  EXPECT_EQ(f.address, "5");
  EXPECT_THAT(f.lanIp, ElementsAre("192", "168", "16", "128"));
  EXPECT_EQ(f.lanPort, "4001");
  EXPECT_EQ(f.defaultPath, kProgramFolder);
}

TEST_F(ConnectionSetupTest, CancelOnAFreshInstallLeavesOnlyTheDefaultPath) {
  Open();  // and close without Save
  EXPECT_EQ(ReadBytes(ini_), "[Load Option]\r\nDefaultPath=/opt/kvload\r\n");
}

TEST_F(ConnectionSetupTest, StartRereadsModeAndBoardFromTheFileNotTheSettingsInUse) {
  WriteIniValues(ini_, "Load Option", {{"ConnectMode", "1"}, {"BoardNo", "2"}});
  settings_.connectMode = 2;
  settings_.boardNo = 0;
  Open();
  EXPECT_EQ(settings_.connectMode, 1);
  EXPECT_EQ(settings_.boardNo, 2);
  EXPECT_EQ(model_->VisibleFrame(), 1);
}

TEST_F(ConnectionSetupTest, ModeWithoutAnOptionSelectsNoneAndSaveKeepsIt) {
  WriteIniValue(ini_, "Load Option", "ConnectMode", "7");
  Open();
  EXPECT_EQ(model_->fields().selectedOption, -1);
  EXPECT_EQ(model_->VisibleFrame(), -1);
  ASSERT_TRUE(model_->Save(&settings_).written);
  EXPECT_EQ(ReadIniValue(ini_, "Load Option", "ConnectMode", ""), "7");
}

TEST_F(ConnectionSetupTest, SaveWritesEveryKeyInItsOrder) {
  Open();
  ConnectionSetupFields& f = model_->fields();
  f.selectedOption = 2;
  f.baudRate = "38400";
  f.handShake = "comXOnXOff";
  f.comPort = "/dev/ttyUSB0";
  f.address = "12";
  f.lanIp = {"10", "0", "0", "7"};
  f.lanPort = "5025";
  f.defaultPath = "/home/op/reports";
  const ConnectionSaveOutcome outcome = model_->Save(&settings_);
  EXPECT_TRUE(outcome.accepted);
  EXPECT_TRUE(outcome.written);
  // DefaultPath first: written back when the dialog opened.
  EXPECT_EQ(ReadBytes(ini_), Golden("link/saved_every_key.INI"));
  EXPECT_EQ(settings_.connectMode, 2);
  EXPECT_EQ(SerialLineSettingsText(settings_.baudRate), "38400,n,8,1");
  EXPECT_EQ(settings_.handShake, 1);
  EXPECT_EQ(settings_.comPort, "/dev/ttyUSB0");
  EXPECT_EQ(settings_.address, 12);
  EXPECT_EQ(LanAddressText(settings_), "10.0.0.7");
  EXPECT_EQ(settings_.lanPort, 5025);
  EXPECT_EQ(settings_.defaultPath, "/home/op/reports");
}

TEST_F(ConnectionSetupTest, HandShakeBothIsStoredAs3AndShownAgain) {
  Open().fields().handShake = "comRTSXOnXOff";
  ASSERT_TRUE(model_->Save(&settings_).written);
  EXPECT_EQ(ReadIniValue(ini_, "Load Option", "HandShake", ""), "3");
  EXPECT_EQ(Open().fields().handShake, "comRTSXOnXOff");
}

TEST_F(ConnectionSetupTest, HandShakeWithoutAListEntryShowsNothingAndSaveKeepsTheOneInUse) {
  WriteIniValue(ini_, "Load Option", "HandShake", "9");
  settings_.handShake = 1;
  Open();
  EXPECT_EQ(model_->fields().handShake, "");
  ASSERT_TRUE(model_->Save(&settings_).written);
  EXPECT_EQ(settings_.handShake, 1);
  EXPECT_EQ(ReadIniValue(ini_, "Load Option", "HandShake", ""), "1");
}

TEST_F(ConnectionSetupTest, PortsRoundTripThroughTheFileAndStartUp) {
  for (const char* port : {"5025", "40000", "65535"}) {
    Open().fields().lanPort = port;
    ASSERT_TRUE(model_->Save(&settings_).written) << port;
    EXPECT_EQ(LoadLinkSettings(ini_, nullptr).lanPort, std::stoi(port));
    EXPECT_EQ(Open().fields().lanPort, port);
  }
}

TEST_F(ConnectionSetupTest, BoardIsSavedAs0WhateverTheFileHeld) {
  WriteIniValue(ini_, "Load Option", "BoardNo", "3");
  Open();
  EXPECT_EQ(settings_.boardNo, 3);
  ASSERT_TRUE(model_->Save(&settings_).written);
  EXPECT_EQ(settings_.boardNo, 0);
  EXPECT_EQ(ReadIniValue(ini_, "Load Option", "BoardNo", ""), "0");
}

TEST_F(ConnectionSetupTest, SaveKeepsOtherSectionsOfTheFile) {
  WriteBytes(ini_, "[KV26]\r\nTestFileName=C:\\x\\y.tsf\r\n[System]\r\nLastTestStepFile=a\r\n");
  Open();
  ASSERT_TRUE(model_->Save(&settings_).written);
  EXPECT_EQ(ReadIniValue(ini_, "KV26", "TestFileName", ""), "C:\\x\\y.tsf");
  EXPECT_EQ(ReadIniValue(ini_, "System", "LastTestStepFile", ""), "a");
}

TEST_F(ConnectionSetupTest, JunkInTheFileIsShownAsItStandsAndTheModeFallsBack) {
  WriteIniValues(ini_, "Load Option", {{"ConnectMode", "serial"}, {"BaudRate", "fast"}});
  Open();
  EXPECT_EQ(settings_.connectMode, 0);
  EXPECT_EQ(model_->fields().baudRate, "fast");
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_THAT(warnings_[0], HasSubstr("ConnectMode"));
}

struct RefusalCase {
  const char* name;
  void (*edit)(ConnectionSetupFields&);
  const char* fieldNamed;
};

class ConnectionSetupRefusalTest : public ConnectionSetupTest,
                                   public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ConnectionSetupRefusalTest, SaveRefusesNamingTheFieldAndWritesNothing) {
  Open();
  const std::string before = ReadBytes(ini_);
  const LinkSettings settingsBefore = settings_;
  model_->fields().selectedOption = 2;
  model_->fields().comPort = "7";
  GetParam().edit(model_->fields());
  const ConnectionSaveOutcome outcome = model_->Save(&settings_);
  EXPECT_FALSE(outcome.accepted);
  EXPECT_FALSE(outcome.written);
  EXPECT_THAT(outcome.message, HasSubstr(GetParam().fieldNamed));
  EXPECT_EQ(ReadBytes(ini_), before);
  EXPECT_EQ(settings_.connectMode, settingsBefore.connectMode);
  EXPECT_EQ(settings_.comPort, settingsBefore.comPort);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ConnectionSetupRefusalTest,
    ::testing::Values(
        RefusalCase{"BaudText", [](ConnectionSetupFields& f) { f.baudRate = "fast"; }, "Baudrate"},
        RefusalCase{"BaudEmpty", [](ConnectionSetupFields& f) { f.baudRate = ""; }, "Baudrate"},
        RefusalCase{"BaudHuge", [](ConnectionSetupFields& f) { f.baudRate = "3000000000"; },
                    "Baudrate"},
        RefusalCase{"AddressRange", [](ConnectionSetupFields& f) { f.address = "40"; }, "Address"},
        RefusalCase{"OctetRange", [](ConnectionSetupFields& f) { f.lanIp[2] = "300"; },
                    "IP Address"},
        RefusalCase{"OctetText", [](ConnectionSetupFields& f) { f.lanIp[0] = "ten"; },
                    "IP Address"},
        RefusalCase{"PortZero", [](ConnectionSetupFields& f) { f.lanPort = "0"; }, "Port"},
        RefusalCase{"PortTooHigh", [](ConnectionSetupFields& f) { f.lanPort = "65536"; }, "Port"},
        RefusalCase{"PathTwoLines",
                    [](ConnectionSetupFields& f) { f.defaultPath = "/a\r\n[Load Option]"; },
                    "Default Path"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ConnectionSetupLists, HandShakeNamesMatchExactly) {
  EXPECT_EQ(HandShakeIndex("comRTSXOnXOff"), 3);
  EXPECT_EQ(HandShakeIndex("comrts"), -1);
}

}  // namespace
}  // namespace kv::test
