#pragma once
// KV26.INI access with the semantics of the Windows profile functions, so a
// file written by the Windows program reads the same here and the reverse:
// section names may hold blanks ("[Load Option]"), section and key names
// compare without regard to case, blanks around names and values do not
// count, values are bytes (never re-encoded) and lines end with CR LF.
//
// A write touches only its own key: other sections, keys, comment lines and
// blank lines stay as they were. The file is replaced through a temporary
// file and a rename, so a crash or a full disk never leaves it cut short.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

/// Longest value a read returns; longer values are cut.
inline constexpr std::size_t kMaxIniValueLength = 254;

/// The text under `key` in `section`, at most kMaxIniValueLength bytes; the
/// default when the file, section or key is missing. A key that is present
/// with nothing after "=" gives "".
std::string ReadIniValue(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue);

/// Sets one key, creating the file (and its folder), the section or the key
/// as needed. False when the file could not be written; it is then unchanged.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

/// Sets several keys of one section in one replacement of the file, in the
/// given order (new keys are appended in that order): all of them or none.
bool WriteIniValues(const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& keyValues);

/// The in-memory form used by the functions above, for callers that read or
/// change many keys at once.
class IniDocument {
 public:
  /// Parses INI text; never fails (lines that are neither a section header
  /// nor key=value are kept as they are and otherwise ignored).
  static IniDocument Parse(std::string_view text);
  /// Reads a file; an unreadable or missing file gives an empty document.
  static IniDocument Load(const std::string& path);
  /// As Load, but false when the file exists and cannot be read, so that a
  /// writer never replaces a file it could not see.
  static bool TryLoad(const std::string& path, IniDocument* doc);

  /// As ReadIniValue, on this document.
  std::string Value(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const;
  bool Has(std::string_view section, std::string_view key) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);

  /// The whole file text, every line ending in CR LF.
  std::string Text() const;
  /// Writes Text() to `path` as a whole or not at all (see AtomicFileWriter;
  /// a write-protected file is refused), making its folder first.
  bool Save(const std::string& path) const;

 private:
  struct Line {
    std::string raw;      // the line as read, without its end
    std::string section;  // for a header line: the trimmed name; else empty
    std::string key;      // for a key line: the trimmed name; else empty
    bool isHeader = false;
    bool isKey = false;
  };
  // Index of the key line of `key` inside `section`, or -1.
  long FindKey(std::string_view section, std::string_view key) const;
  long FindSection(std::string_view section) const;

  std::vector<Line> lines_;
};

}  // namespace kv
