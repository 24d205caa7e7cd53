#include "steps/step_list_ops.h"

#include <algorithm>

namespace kv {

namespace {

using Kind = StepListChange::Kind;

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

void SwapSteps(StepGrid& grid, int a, int b) {
  for (int c = kColFunction; c < kStepColumns; ++c) {
    std::string above = grid.Cell(a, c);
    grid.SetCell(a, c, grid.Cell(b, c));
    grid.SetCell(b, c, std::move(above));
  }
}

void InsertAt(StepGrid& grid, int row, TestStep step) {
  const int col = grid.CurrentCol();
  grid.InsertRow(row);
  step[kColStepNo] = std::to_string(row);
  grid.SetRow(row, std::move(step));
  Renumber(grid, row + 1);
  grid.SetCurrentCell(row, col);
}

void RemoveAt(StepGrid& grid, int row) {
  const int col = grid.CurrentCol();
  grid.RemoveRow(row);
  Renumber(grid, row);
  grid.SetCurrentCell(std::clamp(row, 1, std::max(1, grid.Rows() - 2)), col);
}

void ReplaceAt(StepGrid& grid, int row, TestStep step) {
  step[kColStepNo] = grid.Cell(row, kColStepNo);
  grid.SetRow(row, std::move(step));
  grid.SetCurrentCell(row, grid.CurrentCol());
}

StepListResult Made(StepGrid& grid, StepListChange change) {
  change.currentBefore = grid.CurrentRow();
  ApplyChange(grid, change);
  return {true, {}, std::move(change)};
}

// The panel's step, or why it cannot go into the list.
StepListResult NewStep(const StepGrid& grid, const StepEditor& editor, bool adds, TestStep* step) {
  if (editor.SelectedFunction().empty()) {
    return {
        false, "Choose a function in the editor first: there is no step to put in the list.", {}};
  }
  if (adds && grid.StepCount() >= kMaxStepCount) {
    return {false,
            "The step list is full: it holds at most " + std::to_string(kMaxStepCount) +
                " steps. The step was not added.",
            {}};
  }
  BuiltStep built = editor.BuildStepRow();
  if (!built.problem.empty()) {
    return {false, std::move(built.problem), {}};
  }
  *step = std::move(built.row);
  return {true, {}, {}};
}

StepListResult NeedsAStep(const StepGrid& grid, std::string_view what) {
  if (IsStepRow(grid, grid.CurrentRow())) {
    return {true, {}, {}};
  }
  return {false, "Select the step to " + std::string(what) + " in the list first.", {}};
}

}  // namespace

StepListResult AddStep(StepGrid& grid, const StepEditor& editor) {
  TestStep step;
  if (StepListResult r = NewStep(grid, editor, true, &step); !r.changed) {
    return r;
  }
  return Made(grid, {Kind::Insert, grid.Rows() - 1, 0, {}, std::move(step)});
}

StepListResult InsertStep(StepGrid& grid, const StepEditor& editor) {
  TestStep step;
  if (StepListResult r = NeedsAStep(grid, "insert before"); !r.changed) {
    return r;
  }
  if (StepListResult r = NewStep(grid, editor, true, &step); !r.changed) {
    return r;
  }
  return Made(grid, {Kind::Insert, grid.CurrentRow(), 0, {}, std::move(step)});
}

StepListResult ReplaceStep(StepGrid& grid, const StepEditor& editor) {
  TestStep step;
  if (StepListResult r = NeedsAStep(grid, "replace"); !r.changed) {
    return r;
  }
  if (StepListResult r = NewStep(grid, editor, false, &step); !r.changed) {
    return r;
  }
  const int row = grid.CurrentRow();
  step[kColStepNo] = grid.Cell(row, kColStepNo);
  if (step == grid.Row(row)) {
    return {false, "The step already holds the editor's values.", {}};
  }
  return Made(grid, {Kind::Replace, row, 0, grid.Row(row), std::move(step)});
}

StepListResult RemoveStep(StepGrid& grid) {
  if (StepListResult r = NeedsAStep(grid, "delete"); !r.changed) {
    return r;
  }
  const int row = grid.CurrentRow();
  return Made(grid, {Kind::Remove, row, 0, grid.Row(row), {}});
}

StepListResult MoveStepUp(StepGrid& grid) {
  const int r = grid.CurrentRow();
  if (r < 2 || !IsStepRow(grid, r)) {
    return {};
  }
  return Made(grid, {Kind::Swap, r - 1, r, {}, {}});
}

StepListResult MoveStepDown(StepGrid& grid) {
  const int r = grid.CurrentRow();
  if (r < 1 || r > grid.Rows() - 3) {
    return {};
  }
  return Made(grid, {Kind::Swap, r + 1, r, {}, {}});
}

void ApplyChange(StepGrid& grid, const StepListChange& change) {
  switch (change.kind) {
    case Kind::Insert:
      InsertAt(grid, change.row, change.after);
      break;
    case Kind::Remove:
      RemoveAt(grid, change.row);
      break;
    case Kind::Replace:
      ReplaceAt(grid, change.row, change.after);
      break;
    case Kind::Swap:
      SwapSteps(grid, change.row, change.other);
      grid.SetCurrentCell(change.row, grid.CurrentCol());
      break;
  }
}

void RevertChange(StepGrid& grid, const StepListChange& change) {
  switch (change.kind) {
    case Kind::Insert:
      RemoveAt(grid, change.row);
      break;
    case Kind::Remove:
      InsertAt(grid, change.row, change.before);
      break;
    case Kind::Replace:
      ReplaceAt(grid, change.row, change.before);
      break;
    case Kind::Swap:
      SwapSteps(grid, change.row, change.other);
      break;
  }
  grid.SetCurrentCell(std::clamp(change.currentBefore, 1, grid.Rows() - 1), grid.CurrentCol());
}

std::string StepCountText(const StepGrid& grid) {
  return std::to_string(grid.StepCount());
}

}  // namespace kv
