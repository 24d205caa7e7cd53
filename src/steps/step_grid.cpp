#include "steps/step_grid.h"

#include <utility>

namespace kv {

namespace {

TestStep HeaderRow() {
  TestStep header;
  for (int c = 0; c < kStepColumns; ++c) {
    header[c] = std::string(kStepColumnHeaders[static_cast<std::size_t>(c)]);
  }
  return header;
}

const std::string kEmptyCell;

}  // namespace

StepGrid::StepGrid() {
  rows_ = {HeaderRow(), TestStep{}};
}

void StepGrid::Reset() {
  rows_ = {HeaderRow(), TestStep{}};
  currentRow_ = 1;
  currentCol_ = 0;
  if (observer_ != nullptr) {
    observer_->OnGridReset();
  }
}

void StepGrid::SetRows(int rows) {
  if (rows < 2) {
    rows = 2;
  }
  const int old = Rows();
  if (rows == old) {
    return;
  }
  rows_.resize(static_cast<std::size_t>(rows));
  if (observer_ == nullptr) {
    return;
  }
  if (rows > old) {
    observer_->OnRowsInserted(old, rows - old);
  } else {
    observer_->OnRowsRemoved(rows, old - rows);
  }
}

bool StepGrid::Valid(int row, int col) const {
  return row >= 0 && row < Rows() && col >= 0 && col < kStepColumns;
}

const std::string& StepGrid::Cell(int row, int col) const {
  if (!Valid(row, col)) {
    return kEmptyCell;
  }
  return rows_[static_cast<std::size_t>(row)][col];
}

void StepGrid::SetCell(int row, int col, std::string text) {
  if (!Valid(row, col)) {
    return;
  }
  rows_[static_cast<std::size_t>(row)][col] = std::move(text);
  if (observer_ != nullptr) {
    observer_->OnCellChanged(row, col);
  }
}

const TestStep& StepGrid::Row(int row) const {
  static const TestStep kEmptyRow;
  if (row < 0 || row >= Rows()) {
    return kEmptyRow;
  }
  return rows_[static_cast<std::size_t>(row)];
}

void StepGrid::SetRow(int row, TestStep step) {
  if (row < 0 || row >= Rows()) {
    return;
  }
  rows_[static_cast<std::size_t>(row)] = std::move(step);
  if (observer_ != nullptr) {
    for (int c = 0; c < kStepColumns; ++c) {
      observer_->OnCellChanged(row, c);
    }
  }
}

void StepGrid::InsertRow(int row) {
  if (row < 1 || row > Rows() - 1) {
    return;
  }
  rows_.insert(rows_.begin() + row, TestStep{});
  if (observer_ != nullptr) {
    observer_->OnRowsInserted(row, 1);
  }
}

void StepGrid::RemoveRow(int row) {
  if (row < 1 || row > Rows() - 2) {
    return;
  }
  rows_.erase(rows_.begin() + row);
  if (currentRow_ >= Rows()) {
    currentRow_ = Rows() - 1;
  }
  if (observer_ != nullptr) {
    observer_->OnRowsRemoved(row, 1);
  }
}

void StepGrid::AssignSteps(std::vector<TestStep> steps) {
  // Callers reserve two spare rows, so the header and the empty row go in
  // without a reallocation; shifting the moved rows is cheaper than a copy.
  TestStep header = std::move(rows_.front());
  rows_ = std::move(steps);
  rows_.insert(rows_.begin(), std::move(header));
  rows_.emplace_back();
  if (observer_ != nullptr) {
    observer_->OnGridReset();
  }
}

void StepGrid::SetCurrentCell(int row, int col) {
  if (Valid(row, col)) {
    currentRow_ = row;
    currentCol_ = col;
  }
}

}  // namespace kv
