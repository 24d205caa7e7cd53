#pragma once
// The step-list check: what a run of the list will do that its author may not
// expect, found before anything is connected.

#include <string>
#include <string_view>
#include <vector>

#include "check/check_finding.h"
#include "steps/step_grid.h"

namespace kv {

/// Findings for every step of `grid`, ordered by step (list-wide ones first).
/// `offeredFunctions` are the functions the identified model offers; null when
/// nothing is identified yet.
std::vector<CheckFinding> CheckStepList(const StepGrid& grid,
                                        const std::vector<std::string>* offeredFunctions);

/// As CheckStepList for the model that answered `modelText`: knowing it, the
/// check can tell the steps the runner skips (battery functions on a model that
/// is not battery-capable) from those it sends to a load that does not offer them.
/// An empty `modelText` is no model known (nothing identified, or no answer):
/// the check then is CheckStepList's with nothing offered.
std::vector<CheckFinding> CheckStepListForModel(const StepGrid& grid, std::string_view modelText);

}  // namespace kv
