#pragma once
// What the "Connect Setup" dialog does, without the widgets: the values it
// shows when it opens, what Save stores and in which order, and the lists of
// its combo boxes. The dialog binds its controls to fields() and calls
// Start() when shown and Save() on its Save button; Cancel needs no call.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/link_settings.h"

namespace kv {

/// The texts of the dialog's controls as the operator sees and types them.
struct ConnectionSetupFields {
  /// Selected option button: 0 "RS-232/USB", 1 "GPIB", 2 "LAN", -1 none.
  int selectedOption = -1;
  std::string baudRate;   // Combo1
  std::string comPort;    // Combo2
  std::string handShake;  // Combo3: one of HandShakeNames(), or "" when the file's value has none
  std::string address;    // Combo4
  std::array<std::string, 4> lanIp;  // Text1(0..3)
  std::string lanPort;               // Text2
  std::string defaultPath;           // DefaultPathText
  std::string broker;                // BrokerText: [Publish] Broker, "" publishing off
};

struct ConnectionSaveOutcome {
  /// False when a field does not hold a usable value: nothing was changed or
  /// written and `message` names the field.
  bool accepted = false;
  /// Whether the file was written (an accepted Save that could not write the
  /// file still changes the settings in use).
  bool written = false;
  std::string message;
};

class ConnectionSetupModel {
 public:
  /// `programFolder` is the default of DefaultPath.
  ConnectionSetupModel(std::string iniPath, std::string programFolder);

  /// Dialog start: fills fields() from the file, re-reads ConnectMode and
  /// BoardNo into `settings`, and writes the shown default path back to the
  /// file at once. Unusable numbers in the file give the key's default for
  /// `settings` (a line in `warnings`), while the field shows the file's text.
  void Start(LinkSettings* settings, std::vector<std::string>* warnings = nullptr);

  ConnectionSetupFields& fields() { return fields_; }
  const ConnectionSetupFields& fields() const { return fields_; }

  /// Selecting an option button shows one frame: 0 RS-232, 1 GPIB, 2 LAN;
  /// -1 when no option is selected.
  int VisibleFrame() const;

  /// Save: checks every numeric field first; on success sets `settings` and
  /// writes the "Load Option" keys in the file's customary order.
  ConnectionSaveOutcome Save(LinkSettings* settings);

  /// What is wrong with a broker setting, "" when it is usable. Without
  /// one, Save takes any broker text.
  using BrokerCheck = std::function<std::string(const std::string& broker)>;
  void SetBrokerCheck(BrokerCheck check) { brokerCheck_ = std::move(check); }

  static const std::vector<std::string>& BaudRateList();    // "9600", "115200"
  static const std::vector<std::string>& ComPortList();     // "1" .. "16"
  static const std::vector<std::string>& HandShakeNames();  // "comNone" .. "comRTSXOnXOff"
  static const std::vector<std::string>& AddressList();     // "1" .. "31"

 private:
  std::string iniPath_;
  std::string programFolder_;
  ConnectionSetupFields fields_;
  BrokerCheck brokerCheck_;
};

/// The position of a handshake name in HandShakeNames(), -1 when none.
int HandShakeIndex(const std::string& name);

}  // namespace kv
