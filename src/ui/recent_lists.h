#pragma once
// The step lists last opened or saved, newest first, kept in the settings
// file ([Recent Lists] File1 to File8) so that a Windows installation's
// KV26.INI keeps every key it had.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr std::string_view kRecentListsSection = "Recent Lists";
inline constexpr int kRecentListsKept = 8;

/// The names the settings file holds, newest first, without blanks or repeats.
std::vector<std::string> ReadRecentLists(const std::string& iniPath);

/// Puts `path` first (once) and keeps the newest kRecentListsKept; false
/// when the settings file could not be written.
bool RecordRecentList(const std::string& iniPath, const std::string& path);

}  // namespace kv
