// The settings-file reader on arbitrary text: parsing is stable, a key set is
// read back as set (in memory and through the file), and the link settings
// stay in their ranges whatever the file holds.

#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/ini_file.h"
#include "link/link_settings.h"

namespace {

// Names and values for which "read back what was set" is the whole rule:
// no line breaks, nothing that ends a name early, no blanks or quotes that a
// reader strips.
bool Plain(std::string_view text, std::string_view forbidden) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return text.find_first_of(forbidden) == std::string_view::npos &&
         (text.empty() || (!blank(text.front()) && !blank(text.back())));
}

}  // namespace

void kv::fuzz::FuzzOne(FuzzedDataProvider& in) {
  const std::string section = in.ConsumeRandomLengthString(16);
  const std::string key = in.ConsumeRandomLengthString(16);
  const std::string value = in.ConsumeRandomLengthString(64);
  const std::string text = in.ConsumeRemainingBytesAsString();

  IniDocument doc = IniDocument::Parse(text);
  const std::string once = doc.Text();
  Require(IniDocument::Parse(once).Text() == once, "parsing written text changes nothing");
  static_cast<void>(doc.Value(section, key, "default"));

  const bool checkable = !section.empty() && !key.empty() && Plain(section, "\r\n[]=;\"'") &&
                         Plain(key, "\r\n[]=;\"'") && value.size() <= kMaxIniValueLength &&
                         Plain(value, "\r\n\"'");
  doc.Set(section, key, value);
  if (checkable) {
    Require(doc.Value(section, key, "\x01") == value, "a key set reads back");
    Require(IniDocument::Parse(doc.Text()).Value(section, key, "\x01") == value,
            "a key set reads back from the written text");
  }

  const std::string path = ScratchFolder() + "/KV26.INI";
  WriteFile(path, text);
  std::vector<std::string> warnings;
  const LinkSettings s = LoadLinkSettings(path, &warnings, ScratchFolder());
  for (const std::int16_t octet : s.lanIp) {
    Require(octet >= 0 && octet <= 255, "LanIP octet in range");
  }
  Require(s.lanPort >= 1 && s.lanPort <= 65535 && s.baudRate > 0, "LanPort, BaudRate in range");
  Require(s.handShake >= 0 && s.handShake <= 3 && s.address >= 0 && s.address <= 31,
          "HandShake, Address in range");
  if (checkable && WriteIniValue(path, section, key, value)) {
    Require(ReadIniValue(path, section, key, "\x01") == value,
            "a key written reads back from the file");
  }
}
