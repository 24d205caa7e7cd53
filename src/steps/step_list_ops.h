#pragma once
// The five list buttons beside the step list: add, insert, remove, move up and
// move down. Each acts on the grid's current row or does nothing; none asks.

#include <string>

#include "steps/step_editor.h"
#include "steps/step_grid.h"

namespace kv {

/// Row indexes are signed 16-bit values downstream, so the list stops here.
inline constexpr int kMaxStepCount = 32767;

struct StepListResult {
  bool changed = false;  // false: the operation's condition failed or it was refused
  std::string message;   // why a step was refused; "" otherwise
};

/// Appends the panel's step after the last one; the current row stays.
StepListResult AddStep(StepGrid& grid, const StepEditor& editor);
/// Inserts the panel's step before the current step row; the current row ends
/// on the last step.
StepListResult InsertStep(StepGrid& grid, const StepEditor& editor);
/// Deletes the current step row.
bool RemoveStep(StepGrid& grid);
/// Exchanges the current step with the one above (all columns but the number)
/// and follows it.
bool MoveStepUp(StepGrid& grid);
/// Exchanges the current step with the one below and follows it.
bool MoveStepDown(StepGrid& grid);

/// The step count as the hidden count box shows it.
std::string StepCountText(const StepGrid& grid);

}  // namespace kv
