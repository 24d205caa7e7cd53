#include "link/connection_setup_model.h"

#include <utility>

#include "link/ini_file.h"
#include "link/instrument_link.h"
#include "link/setting_ranges.h"

namespace kv {
namespace {

std::vector<std::string> NumberList(int first, int last) {
  std::vector<std::string> list;
  for (int n = first; n <= last; ++n) {
    list.push_back(std::to_string(n));
  }
  return list;
}

std::int16_t RereadInt16(const IniDocument& doc, const std::string& iniPath,
                         const SettingRange& range, std::int16_t defaultValue,
                         std::vector<std::string>* warnings) {
  return static_cast<std::int16_t>(ReadRangedSetting(doc, iniPath, range, defaultValue, warnings));
}

// The field's number, or the refusal naming the field as the dialog labels it.
bool CheckField(const std::string& text, const std::string& fieldName, const SettingRange& range,
                long long* value, std::string* message) {
  if (ParseSettingInteger(text, range.min, range.max, value)) {
    return true;
  }
  *message = fieldName + ": \"" + text + "\" is not a whole number from " +
             std::to_string(range.min) + " to " + std::to_string(range.max) + ".";
  return false;
}

}  // namespace

const std::vector<std::string>& ConnectionSetupModel::BaudRateList() {
  static const std::vector<std::string> list{"9600", "115200"};
  return list;
}

const std::vector<std::string>& ConnectionSetupModel::ComPortList() {
  static const std::vector<std::string> list = NumberList(1, 16);
  return list;
}

const std::vector<std::string>& ConnectionSetupModel::HandShakeNames() {
  static const std::vector<std::string> list{"comNone", "comXOnXOff", "comRTS", "comRTSXOnXOff"};
  return list;
}

const std::vector<std::string>& ConnectionSetupModel::AddressList() {
  static const std::vector<std::string> list = NumberList(1, 31);
  return list;
}

int HandShakeIndex(const std::string& name) {
  const auto& names = ConnectionSetupModel::HandShakeNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

ConnectionSetupModel::ConnectionSetupModel(std::string iniPath, std::string programFolder)
    : iniPath_(std::move(iniPath)), programFolder_(std::move(programFolder)) {}

void ConnectionSetupModel::Start(LinkSettings* settings, std::vector<std::string>* warnings) {
  const IniDocument doc = IniDocument::Load(iniPath_);
  const LinkSettings defaults;
  auto value = [&doc](std::string_view key, const std::string& fallback) {
    return doc.Value(kLoadOptionSection, key, fallback);
  };

  settings->connectMode =
      RereadInt16(doc, iniPath_, kConnectModeRange, defaults.connectMode, warnings);
  fields_.selectedOption =
      (settings->connectMode >= kModeSerial && settings->connectMode <= kModeLan)
          ? settings->connectMode
          : -1;
  fields_.baudRate = value(kBaudRateKey, std::to_string(defaults.baudRate));

  // The handshake box shows a list entry; a stored value without one shows
  // nothing, and Save then keeps the handshake in use.
  long long handShake = 0;
  fields_.handShake.clear();
  if (ParseSettingInteger(value(kHandShakeKey, std::to_string(defaults.handShake)),
                          kHandShakeRange.min, kHandShakeRange.max, &handShake)) {
    fields_.handShake = HandShakeNames()[static_cast<std::size_t>(handShake)];
  }

  fields_.comPort = value(kComPortKey, defaults.comPort);
  settings->boardNo = RereadInt16(doc, iniPath_, kBoardNoRange, defaults.boardNo, warnings);
  fields_.address = value(kAddressKey, std::to_string(defaults.address));
  for (std::size_t i = 0; i < fields_.lanIp.size(); ++i) {
    fields_.lanIp[i] = value(kLanIpRanges[i].key, std::to_string(defaults.lanIp[i]));
  }
  fields_.lanPort = value(kLanPortKey, std::to_string(defaults.lanPort));
  fields_.defaultPath = value(kDefaultPathKey, programFolder_);
  fields_.broker = doc.Value(kPublishSection, kBrokerKey, "");

  // The file holds a default path from the first time the dialog opens.
  WriteIniValue(iniPath_, kLoadOptionSection, kDefaultPathKey, fields_.defaultPath);
}

int ConnectionSetupModel::VisibleFrame() const {
  return (fields_.selectedOption >= 0 && fields_.selectedOption <= 2) ? fields_.selectedOption : -1;
}

ConnectionSaveOutcome ConnectionSetupModel::Save(LinkSettings* settings) {
  ConnectionSaveOutcome outcome;
  long long baudRate = 0;
  long long address = 0;
  std::array<long long, 4> lanIp{};
  long long lanPort = 0;
  if (!CheckField(fields_.baudRate, "Baudrate", kBaudRateRange, &baudRate, &outcome.message) ||
      !CheckField(fields_.address, "Address", kAddressRange, &address, &outcome.message)) {
    return outcome;
  }
  for (std::size_t i = 0; i < lanIp.size(); ++i) {
    if (!CheckField(fields_.lanIp[i], "IP Address", kLanIpRanges[i], &lanIp[i], &outcome.message)) {
      return outcome;
    }
  }
  if (!CheckField(fields_.lanPort, "Port", kLanPortRange, &lanPort, &outcome.message)) {
    return outcome;
  }
  // Values go into the file one per line; a line break would forge keys.
  for (const auto& [text, name] :
       {std::pair{&fields_.comPort, "COM Port"}, std::pair{&fields_.defaultPath, "Default Path"},
        std::pair{&fields_.broker, "Broker"}}) {
    if (text->find_first_of("\r\n") != std::string::npos) {
      outcome.message = std::string(name) + ": the text must be one line.";
      return outcome;
    }
  }

  if (!fields_.broker.empty() && brokerCheck_) {
    if (const std::string problem = brokerCheck_(fields_.broker); !problem.empty()) {
      outcome.message = "Broker: " + problem;
      return outcome;
    }
  }

  outcome.accepted = true;
  if (fields_.selectedOption >= kModeSerial && fields_.selectedOption <= kModeLan) {
    settings->connectMode = static_cast<std::int16_t>(fields_.selectedOption);
  }
  settings->baudRate = static_cast<std::int32_t>(baudRate);
  if (const int index = HandShakeIndex(fields_.handShake); index >= 0) {
    settings->handShake = static_cast<std::int16_t>(index);
  }
  settings->comPort = fields_.comPort;
  settings->address = static_cast<std::int16_t>(address);
  settings->boardNo = 0;
  for (std::size_t i = 0; i < lanIp.size(); ++i) {
    settings->lanIp[i] = static_cast<std::int16_t>(lanIp[i]);
  }
  settings->lanPort = static_cast<int>(lanPort);
  settings->defaultPath = fields_.defaultPath;

  // The order Windows installations have always written them in.
  const std::vector<std::pair<std::string, std::string>> keys{
      {std::string(kConnectModeKey), std::to_string(settings->connectMode)},
      {std::string(kBaudRateKey), std::to_string(settings->baudRate)},
      {std::string(kHandShakeKey), std::to_string(settings->handShake)},
      {std::string(kComPortKey), settings->comPort},
      {std::string(kAddressKey), std::to_string(settings->address)},
      {std::string(kBoardNoKey), "0"},
      {std::string(kLanIp1Key), std::to_string(settings->lanIp[0])},
      {std::string(kLanIp2Key), std::to_string(settings->lanIp[1])},
      {std::string(kLanIp3Key), std::to_string(settings->lanIp[2])},
      {std::string(kLanIp4Key), std::to_string(settings->lanIp[3])},
      {std::string(kLanPortKey), std::to_string(settings->lanPort)},
      {std::string(kDefaultPathKey), settings->defaultPath},
  };
  outcome.written = WriteIniValues(iniPath_, kLoadOptionSection, keys);
  // A file without a [Publish] section keeps having none while publishing stays off.
  if (outcome.written &&
      IniDocument::Load(iniPath_).Value(kPublishSection, kBrokerKey, "") != fields_.broker) {
    outcome.written = WriteIniValue(iniPath_, kPublishSection, kBrokerKey, fields_.broker);
  }
  if (!outcome.written) {
    outcome.message = "The settings could not be written to " + iniPath_ + ".";
  }
  return outcome;
}

}  // namespace kv
