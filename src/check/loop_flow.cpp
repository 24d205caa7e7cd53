#include "check/loop_flow.h"

#include <algorithm>
#include <optional>
#include <string>

#include "steps/step_columns.h"
#include "steps/step_function.h"
#include "text/number_text.h"

namespace kv {

namespace {

struct OpenBlock {
  int forStep = 0;
  int times = 0;
};

/// "step 4 runs once", "steps 4 to 6 run once".
std::string RunOnce(int first, int last) {
  return first == last
             ? "step " + std::to_string(first) + " runs once"
             : "steps " + std::to_string(first) + " to " + std::to_string(last) + " run once";
}

}  // namespace

LoopFlow FollowLoops(const StepGrid& grid) {
  const int count = std::max(grid.StepCount(), 0);
  LoopFlow flow;
  flow.passes.assign(static_cast<std::size_t>(count) + 1, 1);
  flow.passes[0] = 0;
  auto report = [&flow](int step, Severity severity, std::string message) {
    flow.findings.push_back({step, severity, std::move(message)});
  };

  std::optional<OpenBlock> open;
  for (int step = 1; step <= count; ++step) {
    const auto function = FindStepFunction(grid.Cell(step, kColFunction));
    if (function == StepFunction::For) {
      if (open) {
        std::string message = "FOR inside the FOR of step " + std::to_string(open->forStep) +
                              ": the runner keeps one loop start, so this FOR replaces it and "
                              "the FOR of step " +
                              std::to_string(open->forStep) + " repeats nothing";
        if (step - 1 > open->forStep) {
          message += " (" + RunOnce(open->forStep + 1, step - 1) + ")";
        }
        report(step, Severity::Error, std::move(message));
      }
      open = OpenBlock{step, ToInt16(grid.Cell(step, kColTimes))};
    } else if (function == StepFunction::Loop) {
      if (!open) {
        report(step, Severity::Error,
               "LOOP without an open FOR: the runner goes on to the next step, or, after a run "
               "stopped inside a block, jumps back into that block");
        continue;
      }
      // The loop count falls at every LOOP taken and the runner jumps back
      // while it stays above 0: the block runs Times times, at least once.
      const int passes = std::max(open->times, 1);
      std::fill(flow.passes.begin() + open->forStep + 1, flow.passes.begin() + step + 1, passes);
      if (open->times < 1 && step - 1 > open->forStep) {
        report(
            open->forStep, Severity::Warning,
            "Times " + std::to_string(open->times) + ": " + RunOnce(open->forStep + 1, step - 1));
      }
      open.reset();
    }
  }
  if (open) {
    report(open->forStep, Severity::Error,
           open->forStep == count
               ? std::string("FOR without a LOOP after it: it repeats nothing")
               : "FOR without a LOOP after it: " + RunOnce(open->forStep + 1, count));
  }
  return flow;
}

}  // namespace kv
