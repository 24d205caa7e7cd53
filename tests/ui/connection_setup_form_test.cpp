// The "Connect Setup" dialog's controls reach the settings file and back.
#include "ui/connection_setup_form.h"

#include <gmock/gmock.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "link/instrument_link.h"
#include "link/temp_folder.h"

namespace kv {
namespace {

template <typename W>
W* Child(const QWidget& form, const char* name) {
  W* w = form.findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

// Which of Frame2..Frame4 is shown.
std::vector<bool> ShownFrames(const QWidget& form) {
  std::vector<bool> shown;
  for (const char* name : {"Frame2", "Frame3", "Frame4"}) {
    shown.push_back(!Child<QGroupBox>(form, name)->isHidden());
  }
  return shown;
}

TEST(ConnectionSetupForm, SaveStoresWhatEachControlHoldsAndTheNextOpenShowsIt) {
  test::TempFolder folder;
  const std::string ini = folder.File("KV26.INI");
  {
    ConnectionSetupForm form(ini, LinkSettings{}, nullptr, "/opt/kv");
    EXPECT_EQ(ShownFrames(form), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Child<QLineEdit>(form, "DefaultPathText")->text(), "/opt/kv");

    Child<QRadioButton>(form, "Option3")->click();
    EXPECT_EQ(ShownFrames(form), (std::vector<bool>{false, false, true}));
    Child<QComboBox>(form, "Combo1")->setCurrentText("38400");
    Child<QComboBox>(form, "Combo2")->setCurrentText("ttyUSB0");
    Child<QComboBox>(form, "Combo3")->setCurrentText("comRTSXOnXOff");
    Child<QComboBox>(form, "Combo4")->setCurrentText("7");
    const char* octets[] = {"10", "0", "3", "21"};
    for (int i = 0; i < 4; ++i) {
      Child<QLineEdit>(form, QStringLiteral("Text1_%1").arg(i).toLatin1().constData())
          ->setText(octets[i]);
    }
    Child<QLineEdit>(form, "Text2")->setText("5025");
    Child<QLineEdit>(form, "DefaultPathText")->setText("/data/reports");
    form.Save();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(form.Refusal().isEmpty());

    EXPECT_EQ(test::ReadBytes(ini), test::ReadBytes(KV_TEST_DATA_DIR "/ui/KV26.INI"));
    EXPECT_EQ(form.Settings().lanPort, 5025);
  }
  ConnectionSetupForm again(ini, LinkSettings{}, nullptr, "/opt/kv");
  EXPECT_EQ(ShownFrames(again), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(Child<QComboBox>(again, "Combo2")->currentText(), "ttyUSB0");
  EXPECT_EQ(Child<QComboBox>(again, "Combo3")->currentText(), "comRTSXOnXOff");
  EXPECT_EQ(Child<QLineEdit>(again, "Text1_3")->text(), "21");
}

TEST(ConnectionSetupForm, ARefusalKeepsItOpenAndCancelStillAppliesTheRereadMode) {
  test::TempFolder folder;
  const std::string ini = folder.File("KV26.INI");
  test::WriteBytes(ini, "[Load Option]\r\nConnectMode=1\r\nBoardNo=3\r\n");
  ConnectionSetupForm form(ini, LinkSettings{}, nullptr, "/opt/kv");
  EXPECT_EQ(ShownFrames(form), (std::vector<bool>{false, true, false}));

  Child<QLineEdit>(form, "Text2")->setText("70000");
  form.Save();
  EXPECT_NE(form.result(), QDialog::Accepted);
  EXPECT_FALSE(form.Refusal().isEmpty());

  // The folder browser: a cancel keeps the text, a choice replaces it.
  QString answer;
  form.SetFolderPicker([&answer](QWidget*, const QString&) { return answer; });
  form.Browse();
  EXPECT_EQ(Child<QLineEdit>(form, "DefaultPathText")->text(), "/opt/kv");
  answer = "/srv/logs";
  form.Browse();
  EXPECT_EQ(Child<QLineEdit>(form, "DefaultPathText")->text(), "/srv/logs");

  form.reject();
  EXPECT_EQ(form.Settings().connectMode, kModeGpib);
  EXPECT_EQ(form.Settings().boardNo, 3);
  EXPECT_EQ(LoadLinkSettings(ini, nullptr).defaultPath, "/opt/kv");
}

}  // namespace
}  // namespace kv
