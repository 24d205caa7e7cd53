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

/// As CheckStepList with the offer of the model that answered `modelText`.
/// The runner also skips battery functions on a model that is not
/// battery-capable, even where the model offers them; those steps are
/// reported too.
std::vector<CheckFinding> CheckStepListForModel(const StepGrid& grid, std::string_view modelText);

}  // namespace kv
