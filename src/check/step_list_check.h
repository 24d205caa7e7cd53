#pragma once
// The step-list check: what a run of the list will do that its author may not
// expect, found before anything is connected.

#include <string>
#include <vector>

#include "check/check_finding.h"
#include "steps/step_grid.h"

namespace kv {

/// Findings for every step of `grid`, ordered by step (list-wide ones first).
/// `offeredFunctions` are the functions the identified model offers; null when
/// nothing is identified yet.
std::vector<CheckFinding> CheckStepList(const StepGrid& grid,
                                        const std::vector<std::string>* offeredFunctions);

}  // namespace kv
