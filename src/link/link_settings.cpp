#include "link/link_settings.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <initializer_list>
#include <limits>

#include "base/serial_port_name.h"
#include "link/ini_file.h"
#include "link/instrument_link.h"
#include "link/setting_ranges.h"

namespace kv {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

template <typename T>
T ReadNumber(const IniDocument& doc, const std::string& iniPath, const SettingRange& range,
             T defaultValue, std::vector<std::string>* warnings,
             std::vector<std::string>& unusableKeys) {
  std::vector<std::string> said;
  const T value = static_cast<T>(ReadRangedSetting(doc, iniPath, range, defaultValue, &said));
  if (!said.empty()) {
    unusableKeys.emplace_back(range.key);
    if (warnings != nullptr) {
      warnings->insert(warnings->end(), said.begin(), said.end());
    }
  }
  return value;
}

bool IsOneOf(std::string_view key, std::initializer_list<std::string_view> keys) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

bool ParseSettingInteger(std::string_view text, long long minValue, long long maxValue,
                         long long* value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') {
    return false;
  }
  unsigned long long magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (error != std::errc() || end != text.data() + text.size() ||
      magnitude > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
    return false;
  }
  long long result = static_cast<long long>(magnitude);
  if (negative) {
    result = -result;
  }
  if (result < minValue || result > maxValue) {
    return false;
  }
  *value = result;
  return true;
}

LinkSettings LoadLinkSettings(const std::string& iniPath, std::vector<std::string>* warnings,
                              const std::string& programFolder) {
  const IniDocument doc = IniDocument::Load(iniPath);
  const LinkSettings defaults;
  LinkSettings s;
  s.testFileName = doc.Value(kStepFileSection, kTestFileNameKey, "");
  s.connectMode =
      ReadNumber(doc, iniPath, kConnectModeRange, defaults.connectMode, warnings, s.unusableKeys);
  s.baudRate =
      ReadNumber(doc, iniPath, kBaudRateRange, defaults.baudRate, warnings, s.unusableKeys);
  s.handShake =
      ReadNumber(doc, iniPath, kHandShakeRange, defaults.handShake, warnings, s.unusableKeys);
  s.comPort = doc.Value(kLoadOptionSection, kComPortKey, defaults.comPort);
  s.boardNo = ReadNumber(doc, iniPath, kBoardNoRange, defaults.boardNo, warnings, s.unusableKeys);
  s.address = ReadNumber(doc, iniPath, kAddressRange, defaults.address, warnings, s.unusableKeys);
  for (std::size_t i = 0; i < s.lanIp.size(); ++i) {
    s.lanIp[i] =
        ReadNumber(doc, iniPath, kLanIpRanges[i], defaults.lanIp[i], warnings, s.unusableKeys);
  }
  s.lanPort = ReadNumber(doc, iniPath, kLanPortRange, defaults.lanPort, warnings, s.unusableKeys);
  std::string folder = programFolder;
  if (folder.empty()) {
    folder = std::filesystem::path(iniPath).parent_path().string();
  }
  s.defaultPath = doc.Value(kLoadOptionSection, kDefaultPathKey, folder);
  return s;
}

std::string LanAddressText(const LinkSettings& settings) {
  if (!settings.lanHost.empty()) {
    return settings.lanHost;
  }
  std::string text;
  for (std::size_t i = 0; i < settings.lanIp.size(); ++i) {
    if (i > 0) {
      text += '.';
    }
    text += std::to_string(settings.lanIp[i]);
  }
  return text;
}

std::string SerialLineSettingsText(std::int32_t baudRate) {
  return std::to_string(baudRate) + ",n,8,1";
}

int ComPortNumber(std::string_view comPort) {
  comPort = TrimBlanks(comPort);
  std::size_t digits = 0;
  while (digits < comPort.size() && comPort[digits] >= '0' && comPort[digits] <= '9') {
    ++digits;
  }
  int number = 0;
  const auto result = std::from_chars(comPort.data(), comPort.data() + digits, number);
  return result.ec == std::errc() ? number : 0;
}

std::string SerialDeviceName(std::string_view comPort) {
  comPort = TrimBlanks(comPort);
  if (comPort.empty()) {
    return "";
  }
  const char first = comPort.front();
  if ((first >= '0' && first <= '9') || first == '-' || first == '+') {
    const int number = ComPortNumber(comPort);
    if (number <= 0) {
      return "";
    }
    return NumberedSerialPort(number);
  }
  // A device path or a port name the serial library resolves itself; text
  // that can be neither (blanks, control characters) opens nothing.
  for (char c : comPort) {
    const bool usable = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '/' || c == '\\' || c == '.' || c == '_' ||
                        c == '-' || c == ':';
    if (!usable) {
      return "";
    }
  }
  return std::string(comPort);
}

std::vector<std::string> UnusableConnectionKeys(const LinkSettings& settings) {
  std::vector<std::string> keys;
  const auto unusable = [&settings](std::string_view key) {
    return std::find(settings.unusableKeys.begin(), settings.unusableKeys.end(), key) !=
           settings.unusableKeys.end();
  };
  if (unusable(kConnectModeKey) ||
      (settings.connectMode != kModeSerial && settings.connectMode != kModeGpib &&
       settings.connectMode != kModeLan)) {
    keys.emplace_back(kConnectModeKey);
    return keys;
  }
  for (const std::string& key : settings.unusableKeys) {
    const bool matters =
        (settings.connectMode == kModeSerial && IsOneOf(key, {kBaudRateKey, kHandShakeKey})) ||
        (settings.connectMode == kModeGpib && IsOneOf(key, {kAddressKey, kBoardNoKey})) ||
        (settings.connectMode == kModeLan &&
         IsOneOf(key, {kLanIp1Key, kLanIp2Key, kLanIp3Key, kLanIp4Key, kLanPortKey}));
    if (matters) {
      keys.push_back(key);
    }
  }
  return keys;
}

}  // namespace kv
