#include "link/link_settings.h"

#include <charconv>
#include <filesystem>
#include <limits>

#include "link/ini_file.h"
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
             T defaultValue, std::vector<std::string>* warnings) {
  return static_cast<T>(ReadRangedSetting(doc, iniPath, range, defaultValue, warnings));
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
  s.connectMode = ReadNumber(doc, iniPath, kConnectModeRange, defaults.connectMode, warnings);
  s.baudRate = ReadNumber(doc, iniPath, kBaudRateRange, defaults.baudRate, warnings);
  s.handShake = ReadNumber(doc, iniPath, kHandShakeRange, defaults.handShake, warnings);
  s.comPort = doc.Value(kLoadOptionSection, kComPortKey, defaults.comPort);
  s.boardNo = ReadNumber(doc, iniPath, kBoardNoRange, defaults.boardNo, warnings);
  s.address = ReadNumber(doc, iniPath, kAddressRange, defaults.address, warnings);
  for (std::size_t i = 0; i < s.lanIp.size(); ++i) {
    s.lanIp[i] = ReadNumber(doc, iniPath, kLanIpRanges[i], defaults.lanIp[i], warnings);
  }
  s.lanPort = ReadNumber(doc, iniPath, kLanPortRange, defaults.lanPort, warnings);
  std::string folder = programFolder;
  if (folder.empty()) {
    folder = std::filesystem::path(iniPath).parent_path().string();
  }
  s.defaultPath = doc.Value(kLoadOptionSection, kDefaultPathKey, folder);
  return s;
}

std::string LanAddressText(const LinkSettings& settings) {
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
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
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

}  // namespace kv
