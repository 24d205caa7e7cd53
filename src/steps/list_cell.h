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

/// The highest field index of a split list: -1 for an empty cell.
int ListHighestIndex(const std::vector<std::string>& fields);

}  // namespace kv
