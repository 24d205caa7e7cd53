#pragma once
// What a run of the list will take: time and result rows, estimated before it
// starts from the budgets the runner applies, each tick counted as a second.

#include <cstdint>
#include <string>
#include <vector>

#include "steps/step_grid.h"

namespace kv {

struct StepPlan {
  int step = 0;
  /// How many times a fresh run takes the step (loop passes included).
  int passes = 1;
  /// Per pass: the time the runner allows it (0 when open-ended or skipped).
  std::int64_t seconds = 0;
  /// Per pass: the result rows it adds (at least that many when the load decides).
  std::int64_t rows = 0;
  /// Only the load ends it; no time bound applies.
  bool openEnded = false;
  /// A voltage or ampere-hour stop, or the load, may end it before its time.
  bool mayEndEarly = false;
  /// The runner skips it (unknown function, or not offered by the model).
  bool skipped = false;
};

struct RunPlan {
  std::vector<StepPlan> steps;
  /// The sum of the time bounds, open-ended steps not counted.
  std::int64_t seconds = 0;
  std::int64_t rows = 0;
  bool openEnded = false;
  bool mayEndEarly = false;

  /// Rows and time are exact only when no step can end other than by its time.
  bool Exact() const { return !openEnded && !mayEndEarly; }
};

/// The plan of a fresh run of `grid`. With `offeredFunctions` (the identified
/// model's offer), steps it does not offer count as skipped.
RunPlan PlanStepList(const StepGrid& grid,
                     const std::vector<std::string>* offeredFunctions = nullptr);

}  // namespace kv
