#include "ui/recent_lists.h"

#include <algorithm>
#include <utility>

#include "link/ini_file.h"

namespace kv {

namespace {

std::string KeyOf(int index) {
  return "File" + std::to_string(index + 1);
}

}  // namespace

std::vector<std::string> ReadRecentLists(const std::string& iniPath) {
  const IniDocument doc = IniDocument::Load(iniPath);
  std::vector<std::string> lists;
  for (int i = 0; i < kRecentListsKept; ++i) {
    std::string path = doc.Value(kRecentListsSection, KeyOf(i), "");
    // A hand-edited file may leave gaps or name a list twice.
    if (!path.empty() && std::find(lists.begin(), lists.end(), path) == lists.end()) {
      lists.push_back(std::move(path));
    }
  }
  return lists;
}

bool RecordRecentList(const std::string& iniPath, const std::string& path) {
  std::vector<std::string> lists = ReadRecentLists(iniPath);
  std::erase(lists, path);
  lists.insert(lists.begin(), path);
  std::vector<std::pair<std::string, std::string>> keys;
  for (int i = 0; i < kRecentListsKept; ++i) {
    const auto at = static_cast<std::size_t>(i);
    keys.emplace_back(KeyOf(i), at < lists.size() ? lists[at] : std::string());
  }
  return WriteIniValues(iniPath, kRecentListsSection, keys);
}

}  // namespace kv
