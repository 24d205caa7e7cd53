#pragma once
// The rows of one run: ten text cells each, numbered by NextResultRow.
// Stored compactly (text blocks plus one offset per row) so that a week-long
// run with a million rows stays cheap to hold and to show.

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "results/result_columns.h"

namespace kv {

using ResultRow = std::array<std::string, kResultColumns>;
using ResultRowView = std::array<std::string_view, kResultColumns>;

class ResultLog {
 public:
  /// Removes every row (the columns stay) and sets NextResultRow back to 1.
  void Clear();

  std::size_t RowCount() const;
  /// Row and column are 0-based; out of range gives "". The view stays valid
  /// until Clear() (rows never move once added).
  std::string_view Cell(std::size_t row, int col) const;
  ResultRow Row(std::size_t row) const;
  /// All ten cells of a row at once (cheaper than ten Cell() calls); all
  /// empty when `row` is out of range.
  ResultRowView RowView(std::size_t row) const;

  /// Appends a row as given (cell 0 included). Amortised O(1).
  void AddRow(const ResultRow& cells);
  /// The same from views (no copies of the texts first).
  void AddRowView(const ResultRowView& cells);
  /// Puts NextResultRow into cell 0, appends the row, increases NextResultRow.
  /// Returns the index of the new row.
  std::size_t AddNumberedRow(ResultRow cells);

  std::int32_t NextResultRow() const { return nextResultRow_; }
  void SetNextResultRow(std::int32_t n) { nextResultRow_ = n; }

  /// Heap bytes held for the rows (for sizing and benchmarks).
  std::size_t MemoryBytes() const;

  ResultLog() = default;
  ResultLog(const ResultLog& other);
  ResultLog& operator=(const ResultLog& other);
  ResultLog(ResultLog&&) noexcept = default;
  ResultLog& operator=(ResultLog&&) noexcept = default;
  ~ResultLog() = default;

 private:
  // The header of a shared text, or 0 when the text is not to be shared.
  std::size_t SharedHeader(std::string_view text);

  // A row is stored in one block as ten varint cell headers followed by the
  // literal cell texts back to back. A header is a literal's length or the
  // index of a shared text. Blocks never grow past their reserved capacity,
  // so appending never copies earlier rows and views into them stay valid.
  std::vector<std::string> blocks_;
  // Per row: block index in the high 32 bits, byte offset in the low 32.
  std::vector<std::uint64_t> rowStarts_;
  // Function names and verdicts repeat on nearly every row; each distinct one
  // is kept once. A deque so that views into the texts survive growth.
  std::deque<std::string> shared_;
  std::unordered_map<std::string_view, std::uint32_t> sharedIndex_;
  std::int32_t nextResultRow_ = 1;
};

/// A reply of the load as a result cell: every control character becomes a
/// space, so no CR or LF can split a row of the report or the console.
std::string ReplyCell(std::string_view reply);

/// Column captions and widths (twips) of the result view.
struct ResultColumn {
  std::string_view caption;
  int widthTwips;
};
std::array<ResultColumn, kResultColumns> BuildResultColumns();

}  // namespace kv
