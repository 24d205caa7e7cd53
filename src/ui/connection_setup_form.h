#pragma once
// "Connect Setup": the operator's choice of transport, its parameters and the
// default folder, over ConnectionSetupModel. The dialog reads the file when it
// opens; the caller takes Settings() after every close (Save or Cancel: the
// open re-reads ConnectMode and BoardNo either way) and starts the
// identification.

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "link/connection_setup_model.h"
#include "link/link_settings.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace kv {

class ConnectionSetupForm : public QDialog {
  Q_OBJECT

 public:
  /// Asks for a folder starting at `current`; "" when the operator cancels.
  using FolderPicker = std::function<QString(QWidget* parent, const QString& current)>;

  /// Reads `iniPath` at once. `current` are the settings in use (the dialog
  /// changes them only as the model says). `programFolder` is the default
  /// path's default ("" : the program's folder). `openOnMode` >= 0 selects
  /// that option instead of the file's ConnectMode.
  ConnectionSetupForm(std::string iniPath, LinkSettings current, QWidget* parent = nullptr,
                      std::string programFolder = {}, int openOnMode = -1);

  /// The settings after the dialog: saved ones after Save, else those in use
  /// with the ConnectMode and BoardNo the open re-read.
  const LinkSettings& Settings() const { return settings_; }
  /// Lines about unusable values the open found in the file.
  const std::vector<std::string>& Warnings() const { return warnings_; }
  /// The last refusal Save showed ("" when none).
  const QString& Refusal() const { return refusal_; }
  /// For tests: replaces the system's folder browser.
  void SetFolderPicker(FolderPicker picker) { folderPicker_ = std::move(picker); }

 public slots:
  /// "Save": stores and closes, or shows why not and stays open.
  void Save();
  /// "...": the folder browser; a cancel keeps the text.
  void Browse();
  /// Option button `mode` (0 RS-232/USB, 1 GPIB, 2 LAN) shows its frame.
  void SelectMode(int mode);

 private:
  void BuildWidgets();
  void ShowFields();
  void TakeFields();

  ConnectionSetupModel model_;
  LinkSettings settings_;
  std::vector<std::string> warnings_;
  QString refusal_;
  FolderPicker folderPicker_;

  std::array<QRadioButton*, 3> options_{};
  std::array<QGroupBox*, 3> frames_{};  // Frame2, Frame3, Frame4
  QComboBox* baudRate_ = nullptr;       // Combo1
  QComboBox* comPort_ = nullptr;        // Combo2
  QComboBox* handShake_ = nullptr;      // Combo3
  QComboBox* address_ = nullptr;        // Combo4
  std::array<QLineEdit*, 4> lanIp_{};   // Text1(0..3)
  QLineEdit* lanPort_ = nullptr;        // Text2
  QLineEdit* defaultPath_ = nullptr;    // DefaultPathText
  QLineEdit* broker_ = nullptr;         // BrokerText
};

}  // namespace kv
