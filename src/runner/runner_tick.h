#pragma once
// One timer event of the runner. The host (the station) owns the runner's
// timer: it stops the timer, calls RunnerTick, and starts it again with the
// returned interval only when the outcome asks for it. The tick never blocks
// on the operator; messages go to the observer, which shows them.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "link/instrument_link.h"
#include "results/result_log.h"
#include "runner/runner_state.h"
#include "runner/step_end.h"
#include "steps/step_grid.h"

namespace kv {

/// The runner's message at the end of the list.
inline constexpr std::string_view kTestFinished = "Test Finished";

/// What the runner tells its host while it works. Every callback is optional.
class RunnerObserver {
 public:
  virtual ~RunnerObserver() = default;
  /// Step list row `row` started: show it yellow and scroll to it;
  /// `previousRow` (0 for none) turns white.
  virtual void OnStepStarted(int row, int previousRow) {
    static_cast<void>(row);
    static_cast<void>(previousRow);
  }
  /// A row was appended to the result log at `index` (0-based).
  virtual void OnRowAdded(std::size_t index) { static_cast<void>(index); }
  /// A message for the operator (kTestFinished); the host shows it without
  /// holding up the runner.
  virtual void OnMessage(std::string_view text) { static_cast<void>(text); }
  /// Something the operator should know that is not an error of the run,
  /// such as a step that was skipped.
  virtual void OnNotice(std::string_view text) { static_cast<void>(text); }
  /// The list has run to its end; `lastRow` (0 for none) turns white.
  virtual void OnRunFinished(int lastRow) { static_cast<void>(lastRow); }
  /// kMeasurementsLostAfter ticks in a row gave no measurement: the link is
  /// as good as lost. Said once per such stretch; the run itself goes on.
  virtual void OnMeasurementsLost() {}
  /// A run began (reported by the RunCommand that takes a context).
  virtual void OnRunStarted(const LocalDateTime& at) { static_cast<void>(at); }
  /// The runner left a step, and why. Reported at the moment it is left:
  /// before the result and measurement rows of that tick, and before the
  /// next step starts.
  virtual void OnStepEnded(const StepEnd& end) { static_cast<void>(end); }
  /// The run ended; after the OnStepEnded of its last step.
  virtual void OnRunEnded(const RunEnd& end) { static_cast<void>(end); }
};

/// What one tick needs from its host. The model text is read afresh each time
/// it is used: an identification may change it while the tick waits.
struct RunnerContext {
  StepGrid& grid;
  InstrumentLink& link;
  ResultLog& log;
  const Clock& clock;
  std::function<std::string()> modelText;  // NameLabel caption; empty -> ""
  RunnerObserver* observer = nullptr;      // may be null
};

// The interval rule (ms): ticks come about one second apart, the tick's own
// duration taken off the next interval.
inline constexpr int kTickMs = 1000;          // also when midnight passed during the tick
inline constexpr int kStepEndTickMs = 50;     // the step's time runs out within this tick
inline constexpr int kFirstRestTickMs = 700;  // the first tick of a Rest step comes early
inline constexpr int kSlowTickMs = 950;       // a tick longer than this ...
inline constexpr int kAfterSlowTickMs = 975;  // ... is followed after this long

struct TickOutcome {
  /// Start the runner's timer again; false leaves it as it is (stopped by the
  /// host before the tick, or started again by a Run during the tick).
  bool reenableTimer = false;
  /// Milliseconds to the next tick when reenableTimer is set.
  int intervalMs = kTickMs;
};

/// One tick: start the pending step, poll the measurement, apply the stop and
/// completion checks, log a row, choose the next interval.
TickOutcome RunnerTick(RunnerState& state, RunnerContext& ctx);

/// The interval rule on its own (ms) for a tick that began at
/// `tickStartSeconds` and ends at `nowSeconds` (seconds since midnight).
int NextTickInterval(const RunnerState& state, const StepGrid& grid, double tickStartSeconds,
                     double nowSeconds);

}  // namespace kv
