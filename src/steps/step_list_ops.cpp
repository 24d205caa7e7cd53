#include "steps/step_list_ops.h"

namespace kv {

namespace {

bool IsStepRow(const StepGrid& grid, int row) {
  return row >= 1 && row <= grid.Rows() - 2;
}

// Column 0 of rows first..last is renumbered, each row made current in turn as
// the grid control does it.
void Renumber(StepGrid& grid, int first) {
  for (int i = first; i <= grid.Rows() - 2; ++i) {
    grid.SetCurrentCell(i, kColStepNo);
    grid.SetCell(i, kColStepNo, std::to_string(i));
  }
}

// The checks Add and Insert share; a refused step carries its message.
StepListResult CheckNewStep(const StepGrid& grid, const BuiltStep& built) {
  if (grid.StepCount() >= kMaxStepCount) {
    return {false, "The step list is full: it holds at most " + std::to_string(kMaxStepCount) +
                       " steps. The step was not added."};
  }
  if (!built.problem.empty()) {
    return {false, built.problem};
  }
  return {true, {}};
}

void SwapSteps(StepGrid& grid, int a, int b) {
  for (int c = kColFunction; c < kStepColumns; ++c) {
    std::string above = grid.Cell(a, c);
    grid.SetCell(a, c, grid.Cell(b, c));
    grid.SetCell(b, c, std::move(above));
  }
}

}  // namespace

StepListResult AddStep(StepGrid& grid, const StepEditor& editor) {
  if (editor.SelectedFunction().empty()) {
    return {};
  }
  const BuiltStep built = editor.BuildStepRow();
  if (StepListResult refused = CheckNewStep(grid, built); !refused.changed) {
    return refused;
  }
  grid.SetRows(grid.Rows() + 1);
  const int n = grid.Rows() - 2;
  grid.SetCell(n, kColStepNo, std::to_string(n));
  editor.FillStepRow(grid, n);
  return {true, {}};
}

StepListResult InsertStep(StepGrid& grid, const StepEditor& editor) {
  if (editor.SelectedFunction().empty()) {
    return {};
  }
  const int s = grid.CurrentRow();
  if (!IsStepRow(grid, s)) {
    return {};
  }
  const BuiltStep built = editor.BuildStepRow();
  if (StepListResult refused = CheckNewStep(grid, built); !refused.changed) {
    return refused;
  }
  grid.InsertRow(s);
  grid.SetCell(s, kColStepNo, std::to_string(s));
  editor.FillStepRow(grid, s);
  Renumber(grid, s + 1);
  return {true, {}};
}

bool RemoveStep(StepGrid& grid) {
  const int r = grid.CurrentRow();
  if (!IsStepRow(grid, r)) {
    return false;
  }
  grid.RemoveRow(r);
  Renumber(grid, r);
  return true;
}

bool MoveStepUp(StepGrid& grid) {
  const int r = grid.CurrentRow();
  if (r < 2 || !IsStepRow(grid, r)) {
    return false;
  }
  SwapSteps(grid, r, r - 1);
  grid.SetCurrentCell(r - 1, grid.CurrentCol());
  return true;
}

bool MoveStepDown(StepGrid& grid) {
  const int r = grid.CurrentRow();
  if (r < 1 || r > grid.Rows() - 3) {
    return false;
  }
  SwapSteps(grid, r, r + 1);
  grid.SetCurrentCell(r + 1, grid.CurrentCol());
  return true;
}

std::string StepCountText(const StepGrid& grid) {
  return std::to_string(grid.StepCount());
}

}  // namespace kv
