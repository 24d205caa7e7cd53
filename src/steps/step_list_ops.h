#pragma once
// The list buttons beside the step list: add, insert, replace, remove, move
// up and move down. Each acts on the grid's current row, leaves the edited
// step current, and returns the change it made so that it can be undone.

#include <optional>
#include <string>

#include "steps/step_editor.h"
#include "steps/step_grid.h"

namespace kv {

/// Row indexes are signed 16-bit values downstream, so the list stops here.
inline constexpr int kMaxStepCount = 32767;

/// One change of the list, with what it takes to make or take it back.
struct StepListChange {
  enum class Kind { Insert, Remove, Replace, Swap };
  Kind kind = Kind::Replace;
  int row = 0;            // the step changed (Insert: the new step's row)
  int other = 0;          // Swap: the step it changed places with
  TestStep before;        // Remove, Replace: the row as it was
  TestStep after;         // Insert, Replace: the row as it is now
  int currentBefore = 0;  // the current row before the change
};

struct StepListResult {
  bool changed = false;  // false: the operation's condition failed or it was refused
  std::string message;   // why nothing changed, for the operator; "" when it did
  std::optional<StepListChange> change;  // what changed, when it did
};

/// Appends the panel's step after the last one.
StepListResult AddStep(StepGrid& grid, const StepEditor& editor);
/// Inserts the panel's step before the current step.
StepListResult InsertStep(StepGrid& grid, const StepEditor& editor);
/// The current step takes the panel's values (its number stays).
StepListResult ReplaceStep(StepGrid& grid, const StepEditor& editor);
/// Deletes the current step; the one after it (or the new last) is current.
StepListResult RemoveStep(StepGrid& grid);
/// Exchanges the current step with the one above (all columns but the number).
StepListResult MoveStepUp(StepGrid& grid);
/// Exchanges the current step with the one below.
StepListResult MoveStepDown(StepGrid& grid);

/// Makes `change` again (redo), the step it concerns ending current, or takes
/// it back (undo), the current row ending where it was before.
void ApplyChange(StepGrid& grid, const StepListChange& change);
void RevertChange(StepGrid& grid, const StepListChange& change);

/// The step count as the hidden count box shows it.
std::string StepCountText(const StepGrid& grid);

}  // namespace kv
