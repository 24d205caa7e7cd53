// The settings-file reader on arbitrary text: parsing is stable, a key set is
// read back as set (in memory and through the file), and the link settings
// stay in their ranges whatever the file holds.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/ini_file.h"
#include "link/link_settings.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool HasAny(std::string_view text, std::string_view chars) {
  return text.find_first_of(chars) != std::string_view::npos;
}

// Names and values for which "read back what was set" is the whole rule:
// no line breaks, nothing that ends a name early, no blanks or quotes that a
// reader strips.
bool Plain(std::string_view name) {
  return !name.empty() && !HasAny(name, "\r\n[]=;\"'") && !IsBlank(name.front()) &&
         !IsBlank(name.back());
}

bool PlainValue(std::string_view value) {
  return value.size() <= kv::kMaxIniValueLength && !HasAny(value, "\r\n\"'") &&
         (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(16);
  const std::string key = in.ConsumeRandomLengthString(16);
  const std::string value = in.ConsumeRandomLengthString(64);
  const std::string text = in.ConsumeRemainingBytesAsString();

  IniDocument doc = IniDocument::Parse(text);
  const std::string once = doc.Text();
  fuzz::Require(IniDocument::Parse(once).Text() == once, "parsing written text changes nothing");
  static_cast<void>(doc.Value(section, key, "default"));

  const bool checkable = Plain(section) && Plain(key) && PlainValue(value);
  doc.Set(section, key, value);
  if (checkable) {
    fuzz::Require(doc.Value(section, key, "\x01") == value, "a key set reads back");
    fuzz::Require(IniDocument::Parse(doc.Text()).Value(section, key, "\x01") == value,
                  "a key set reads back from the written text");
  }

  const std::string path = fuzz::ScratchPath("KV26.INI");
  fuzz::WriteFile(path, text);
  std::vector<std::string> warnings;
  const LinkSettings s = LoadLinkSettings(path, &warnings, fuzz::ScratchFolder());
  fuzz::Require(s.lanPort >= 1 && s.lanPort <= 65535, "LanPort in range");
  for (const std::int16_t octet : s.lanIp) {
    fuzz::Require(octet >= 0 && octet <= 255, "LanIP octet in range");
  }
  fuzz::Require(s.handShake >= 0 && s.handShake <= 3, "HandShake in range");
  fuzz::Require(s.address >= 0 && s.address <= 31, "Address in range");
  fuzz::Require(s.baudRate > 0, "BaudRate above 0");

  if (checkable && WriteIniValue(path, section, key, value)) {
    fuzz::Require(ReadIniValue(path, section, key, "\x01") == value,
                  "a key written reads back from the file");
  }
  return 0;
}
