#include "steps/list_cell.h"

#include <algorithm>

namespace kv {

std::string JoinList(const std::vector<std::string>& entries) {
  std::string cell;
  for (const auto& e : entries) {
    cell += ';';
    cell += e;
  }
  return cell;
}

std::vector<std::string> SplitList(std::string_view cell) {
  std::vector<std::string> fields;
  if (cell.empty()) {
    return fields;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t pos = cell.find(';', start);
    if (pos == std::string_view::npos) {
      fields.emplace_back(cell.substr(start));
      break;
    }
    fields.emplace_back(cell.substr(start, pos - start));
    start = pos + 1;
  }
  return fields;
}

std::string ListEntry(const std::vector<std::string>& fields, int i) {
  if (i < 0 || static_cast<std::size_t>(i) >= fields.size()) {
    return {};
  }
  return fields[static_cast<std::size_t>(i)];
}

int ListEntryCount(std::string_view cell) {
  return static_cast<int>(std::count(cell.begin(), cell.end(), ';'));
}

int ListHighestIndex(const std::vector<std::string>& fields) {
  return static_cast<int>(fields.size()) - 1;
}

}  // namespace kv
