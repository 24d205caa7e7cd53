#pragma once
// The step list as operators and files see it: row 0 holds the column
// headers, rows 1 to Rows()-2 are the steps, and the last row is always
// present and empty. Cells are text.

#include <string>
#include <string_view>
#include <vector>

#include "steps/test_step.h"

namespace kv {

/// Told about every change so that a view can follow without polling.
class StepGridObserver {
 public:
  virtual ~StepGridObserver() = default;
  virtual void OnGridReset() = 0;
  virtual void OnCellChanged(int row, int col) = 0;
  virtual void OnRowsInserted(int first, int count) = 0;
  virtual void OnRowsRemoved(int first, int count) = 0;
};

class StepGrid {
 public:
  StepGrid();

  /// Back to the start-up layout: header row and the empty row, nothing else.
  void Reset();

  int Rows() const { return static_cast<int>(rows_.size()); }
  /// Grows with empty rows or cuts rows off the end; never below 2.
  void SetRows(int rows);
  int StepCount() const { return Rows() - 2; }

  /// "" for a cell outside the grid.
  const std::string& Cell(int row, int col) const;
  void SetCell(int row, int col, std::string text);

  /// An empty row for a row outside the grid.
  const TestStep& Row(int row) const;
  void SetRow(int row, TestStep step);
  /// Inserts an empty row before `row` (1 <= row <= Rows()-1).
  void InsertRow(int row);
  /// Removes step row `row` (1 <= row <= Rows()-2).
  void RemoveRow(int row);
  /// Replaces all steps at once (one reset notification): a file load.
  void AssignSteps(std::vector<TestStep> steps);

  int CurrentRow() const { return currentRow_; }
  int CurrentCol() const { return currentCol_; }
  void SetCurrentCell(int row, int col);

  void SetObserver(StepGridObserver* observer) { observer_ = observer; }

 private:
  bool Valid(int row, int col) const;

  std::vector<TestStep> rows_;
  int currentRow_ = 1;
  int currentCol_ = 0;
  StepGridObserver* observer_ = nullptr;
};

}  // namespace kv
