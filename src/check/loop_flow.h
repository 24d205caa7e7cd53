#pragma once
// FOR/LOOP blocks as the runner follows them: one loop count and one loop
// start, so a FOR replaces any block still open and a LOOP repeats from the
// step after the last FOR taken.

#include <vector>

#include "check/check_finding.h"
#include "steps/step_grid.h"

namespace kv {

struct LoopFlow {
  /// passes[n]: how many times a fresh run takes step n (index 0 unused).
  std::vector<int> passes;
  /// Blocks that are open, unopened or replaced.
  std::vector<CheckFinding> findings;
};

LoopFlow FollowLoops(const StepGrid& grid);

}  // namespace kv
