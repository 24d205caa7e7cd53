#include "check/run_plan.h"

#include <algorithm>
#include <limits>

#include "check/function_rules.h"
#include "check/loop_flow.h"
#include "steps/step_columns.h"
#include "text/number_text.h"

namespace kv {

namespace {

constexpr std::int64_t kSequenceSeconds = 10;

/// Ticks a timed step takes: the budget falls by one second per tick and the
/// time stop fires once it is 0 or less, in the tick that starts the next step.
std::int64_t TicksFor(Fixed4 budget) {
  return budget <= 0 ? 0 : budget / kFixed4One + (budget % kFixed4One != 0 ? 1 : 0);
}

// A TStop of 1E20 reads as the largest budget there is; sums stay at the top
// rather than wrap.
constexpr std::int64_t kTop = std::numeric_limits<std::int64_t>::max();

std::int64_t SumTop(std::int64_t a, std::int64_t b) {
  return a > kTop - b ? kTop : a + b;
}

std::int64_t ProductTop(std::int64_t a, std::int64_t b) {
  return b != 0 && a > kTop / b ? kTop : a * b;
}

void PlanStep(const TestStep& cells, const FunctionRules& rules, StepPlan& plan) {
  switch (rules.budget) {
    case Budget::None:
    case Budget::Zero:
      break;
    case Budget::TStop:
    case Budget::TStopPlusOne: {
      const Fixed4 extra = rules.budget == Budget::TStopPlusOne ? kFixed4One : 0;
      plan.seconds = TicksFor(SumTop(ToFixed4(cells[kColTStop]), extra));
      plan.rows = plan.seconds;
      plan.mayEndEarly = rules.cellStops && plan.seconds > 0 &&
                         (ToDouble(cells[kColVStop]) > 0.0 || ToDouble(cells[kColAhStop]) > 0.0);
      break;
    }
    case Budget::TenSeconds:
      plan.seconds = kSequenceSeconds;
      plan.rows = kSequenceSeconds;
      plan.mayEndEarly = rules.loadEnds;
      break;
    case Budget::Untimed:
      plan.openEnded = true;
      // The tick in which the load reports the end adds its measurement row
      // after the verdict row.
      plan.rows = rules.verdictRow ? 2 : 1;
      break;
  }
}

}  // namespace

RunPlan PlanStepList(const StepGrid& grid, const std::vector<std::string>* offeredFunctions) {
  RunPlan run;
  const LoopFlow flow = FollowLoops(grid);
  for (int step = 1; step <= grid.StepCount(); ++step) {
    StepPlan plan;
    plan.step = step;
    plan.passes = flow.passes[static_cast<std::size_t>(step)];
    const TestStep& cells = grid.Row(step);
    const auto function = FindStepFunction(cells[kColFunction]);
    plan.skipped = !function || (offeredFunctions != nullptr &&
                                 std::find(offeredFunctions->begin(), offeredFunctions->end(),
                                           cells[kColFunction]) == offeredFunctions->end());
    if (!plan.skipped) {
      PlanStep(cells, RulesFor(*function), plan);
    }
    run.seconds = SumTop(run.seconds, ProductTop(plan.seconds, plan.passes));
    run.rows = SumTop(run.rows, ProductTop(plan.rows, plan.passes));
    run.openEnded = run.openEnded || plan.openEnded;
    run.mayEndEarly = run.mayEndEarly || plan.mayEndEarly;
    run.steps.push_back(plan);
  }
  return run;
}

}  // namespace kv
