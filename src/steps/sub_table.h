#pragma once
// The small sub-step tables of the editor: the ramp and sequence tables hold
// one sub-step per column, the cycle table one per row. Row 0 and column 0 are
// fixed title cells; the other cells are free text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "steps/step_function.h"

namespace kv {

enum class SubTableKind : int { Ramp, SeqLoad, CycleLife };
inline constexpr int kSubTableKindCount = 3;

/// The sub-table on a function's frame, if it has one.
std::optional<SubTableKind> SubTableOf(StepFunction f);

/// Control name of a table ("RampGrid", "SeqLoadGrid", "CycleLifeGrid").
std::string_view SubTableName(SubTableKind kind);

/// Sub-step count range of the tables sized by a total-step field.
inline constexpr int kRampMinSteps = 1;
inline constexpr int kRampMaxSteps = 9;
inline constexpr int kSeqLoadMinSteps = 2;
inline constexpr int kSeqLoadMaxSteps = 16;

/// Level titles of the sequence table's row 1, by sequence type.
inline constexpr std::string_view kSeqLoadCcTitle = "CC(A)";
inline constexpr std::string_view kSeqLoadCpTitle = "CP(W)";

class SubTable {
 public:
  /// The start-up layout: ramp 3 x 10, sequence 3 x 17, cycle 4 x 6, titled.
  explicit SubTable(SubTableKind kind);

  SubTableKind Kind() const { return kind_; }
  int Rows() const { return static_cast<int>(cells_.size()); }
  int Cols() const { return cols_; }

  /// "" outside the table.
  const std::string& Cell(int row, int col) const;
  /// Ignored outside the table: there is no such cell to write.
  void SetCell(int row, int col, std::string text);

  /// Drops columns past `cols` with their cells or adds empty ones; at least
  /// the title column stays.
  void SetColumnCount(int cols);

  /// The grid's current cell; always a value cell (row and column >= 1).
  int CurrentRow() const { return currentRow_; }
  int CurrentCol() const { return currentCol_; }
  /// Ignored unless (row, col) is a value cell of the table.
  void SetCurrentCell(int row, int col);

  /// Start-up size and titles again; value cells within that size keep their
  /// texts.
  void ResetLayout();

 private:
  SubTableKind kind_;
  int cols_ = 0;
  std::vector<std::vector<std::string>> cells_;
  int currentRow_ = 1;
  int currentCol_ = 1;
};

/// Same size and the same text in every cell (the current cell aside).
bool SameCells(const SubTable& a, const SubTable& b);

/// The text a total-step field holds once it is left: above `max` gives
/// `max`, below `min` gives `min`, a fractional value in range is rounded
/// half to even, and a whole number in range stays as typed ("05"). A text
/// that is not a number counts as 0.
std::string ClampTotalStepText(std::string_view text, int min, int max);

}  // namespace kv
