#pragma once
// The rows of one run: ten text cells each, numbered by NextResultRow.
// Stored compactly (one text arena plus offsets) so that a week-long run with a
// million rows stays cheap to hold and to show.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr int kResultColumns = 10;
using ResultRow = std::array<std::string, kResultColumns>;

class ResultLog {
 public:
  /// Removes every row (the columns stay) and sets NextResultRow back to 1.
  void Clear();

  std::size_t RowCount() const;
  std::string_view Cell(std::size_t row, int col) const;
  ResultRow Row(std::size_t row) const;

  /// Appends a row as given (cell 0 included). Amortised O(1).
  void AddRow(const ResultRow& cells);
  /// Puts NextResultRow into cell 0, appends the row, increases NextResultRow.
  /// Returns the index of the new row.
  std::size_t AddNumberedRow(ResultRow cells);

  std::int32_t NextResultRow() const { return nextResultRow_; }
  void SetNextResultRow(std::int32_t n) { nextResultRow_ = n; }

 private:
  std::string arena_;                   // all cell texts, back to back
  std::vector<std::uint64_t> offsets_;  // kResultColumns + 1 per row... see .cpp
  std::int32_t nextResultRow_ = 1;
};

/// Column captions and widths (twips) of the result view.
struct ResultColumn {
  std::string_view caption;
  int widthTwips;
};
std::array<ResultColumn, kResultColumns> BuildResultColumns();

}  // namespace kv
