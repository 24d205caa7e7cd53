#include "link/ini_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/atomic_file_writer.h"

namespace kv {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// A name the file format can hold: no line break, and nothing that would end
// it early when read back.
bool UsableSectionName(std::string_view name) {
  return !HasLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool UsableKeyName(std::string_view name) {
  name = TrimBlanks(name);
  return !name.empty() && !HasLineBreak(name) && name.find('=') == std::string_view::npos &&
         name.front() != '[' && name.front() != ';';
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  std::size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    std::string_view raw =
        text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (!raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
    }
    Line line;
    line.raw = std::string(raw);
    // A byte-order mark stays in the raw line (it is written back) but is no
    // part of the first name.
    std::string_view content = raw;
    if (first && content.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
      content.remove_prefix(kUtf8Bom.size());
    }
    first = false;
    content = TrimBlanks(content);
    if (!content.empty() && content.front() == '[') {
      std::size_t close = content.find(']');
      line.isHeader = true;
      line.section = std::string(TrimBlanks(
          content.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
    } else if (!content.empty() && content.front() != ';') {
      std::size_t eq = content.find('=');
      if (eq != std::string_view::npos) {
        line.isKey = true;
        line.key = std::string(TrimBlanks(content.substr(0, eq)));
      }
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

bool IniDocument::TryLoad(const std::string& path, IniDocument* doc) {
  *doc = IniDocument();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return !ec;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    return false;
  }
  *doc = Parse(text);
  return true;
}

IniDocument IniDocument::Load(const std::string& path) {
  IniDocument doc;
  TryLoad(path, &doc);
  return doc;
}

long IniDocument::FindSection(std::string_view section) const {
  section = TrimBlanks(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].isHeader && SameName(lines_[i].section, section)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

long IniDocument::FindKey(std::string_view section, std::string_view key) const {
  long header = FindSection(section);
  if (header < 0) {
    return -1;
  }
  key = TrimBlanks(key);
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
    if (lines_[i].isHeader) {
      break;
    }
    if (lines_[i].isKey && SameName(lines_[i].key, key)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

bool IniDocument::Has(std::string_view section, std::string_view key) const {
  return FindKey(section, key) >= 0;
}

std::string IniDocument::Value(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  long index = FindKey(section, key);
  std::string_view value = defaultValue;
  if (index >= 0) {
    const std::string& raw = lines_[static_cast<std::size_t>(index)].raw;
    value = TrimBlanks(std::string_view(raw).substr(raw.find('=') + 1));
    // Quotes around a whole value are no part of it, as with the Windows
    // profile functions.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
  }
  return std::string(value.substr(0, kMaxIniValueLength));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  long index = FindKey(section, key);
  if (index >= 0) {
    Line& line = lines_[static_cast<std::size_t>(index)];
    line.raw = line.key + "=" + std::string(value);
    return;
  }
  Line line;
  line.isKey = true;
  line.key = std::string(key);
  line.raw = line.key + "=" + std::string(value);

  long header = FindSection(section);
  if (header < 0) {
    if (!lines_.empty() && !TrimBlanks(lines_.back().raw).empty()) {
      lines_.push_back(Line{});
    }
    Line head;
    head.isHeader = true;
    head.section = std::string(section);
    head.raw = "[" + head.section + "]";
    lines_.push_back(std::move(head));
    lines_.push_back(std::move(line));
    return;
  }
  // After the section's last key, so blank lines and comments that precede
  // the next section stay with it.
  std::size_t insertAt = static_cast<std::size_t>(header) + 1;
  for (std::size_t i = insertAt; i < lines_.size() && !lines_[i].isHeader; ++i) {
    if (lines_[i].isKey) {
      insertAt = i + 1;
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

std::string IniDocument::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.raw;
    text += "\r\n";
  }
  return text;
}

bool IniDocument::Save(const std::string& path) const {
  namespace fs = std::filesystem;
  // The per-user configuration folder may not exist before the first save.
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty()) {
    std::error_code ec;
    fs::create_directories(folder, ec);
  }
  return WriteFileAtomically(path, Text());
}

std::string ReadIniValue(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
  return IniDocument::Load(path).Value(section, key, defaultValue);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
  return WriteIniValues(path, section, {{std::string(key), std::string(value)}});
}

bool WriteIniValues(const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& keyValues) {
  // A line break in a name or value would write lines nobody asked for.
  if (!UsableSectionName(section) || TrimBlanks(section).empty()) {
    return false;
  }
  for (const auto& [key, value] : keyValues) {
    if (!UsableKeyName(key) || HasLineBreak(value)) {
      return false;
    }
  }
  IniDocument doc;
  if (!IniDocument::TryLoad(path, &doc)) {
    return false;
  }
  for (const auto& [key, value] : keyValues) {
    doc.Set(section, key, value);
  }
  return doc.Save(path);
}

}  // namespace kv
