#pragma once
// Sub-step lists inside one cell: ";e1;e2;...;en", "" for no entries.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

/// Joins entries as a leading ";" before each; no entries give "".
std::string JoinList(const std::vector<std::string>& entries);

/// Splits at every ";". Field 0 is the text before the first ";"; fields 1..n
/// are the entries. An empty cell gives no fields.
std::vector<std::string> SplitList(std::string_view cell);

/// Entry i (1-based) of a split list, "" when the list has no such entry.
std::string ListEntry(const std::vector<std::string>& fields, int i);
std::string_view ListEntry(const std::vector<std::string_view>& fields, int i);

/// How many entries a cell holds (its ";"s), without splitting it.
int ListEntryCount(std::string_view cell);

/// Calls fn(i, entry) for entries 1..last of `cell`, in place: the check
/// walks every entry of every step after each change of the list.
template <typename Fn>
void ForEachListEntry(std::string_view cell, int last, Fn&& fn) {
  std::size_t sep = cell.find(';');
  for (int i = 1; i <= last && sep != std::string_view::npos; ++i) {
    const std::size_t next = cell.find(';', sep + 1);
    fn(i, cell.substr(sep + 1, next == std::string_view::npos ? next : next - sep - 1));
    sep = next;
  }
}

/// The highest field index of a split list: -1 for an empty cell.
template <typename Field>
int ListHighestIndex(const std::vector<Field>& fields) {
  return static_cast<int>(fields.size()) - 1;
}

}  // namespace kv
