#pragma once
// Everything the runner keeps between ticks. It lives as long as the station
// and survives between runs: Run resets only the row, the pending flag and
// the log, so limits of an earlier run stay until a step sets its own.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "commands/step_parameters.h"
#include "runner/step_end.h"
#include "steps/step_function.h"
#include "text/number_text.h"

namespace kv {

inline constexpr std::size_t kMaxLanReplies = 1000;
/// Ticks in a row without a measurement that count as a lost link.
inline constexpr int kMeasurementsLostAfter = 3;

/// A step that has started and not yet ended: what its end will report.
struct OpenStep {
  std::int32_t row = 0;
  std::optional<StepFunction> function;
  std::string functionName;
  LocalDateTime started;
  std::int64_t startedMs = 0;
  std::optional<NoTrip> noTrip;
};

struct RunnerState {
  /// Step list row of the step being run (row 0 is the header row).
  std::int32_t currentRow = 1;
  /// The step at currentRow has not been started yet; the next pass starts it.
  bool stepPending = false;
  /// Function of the step last started (FOR and LOOP included); none before
  /// the first step. Its name is what the result rows show.
  std::optional<StepFunction> currentFunction;

  /// Seconds left for the running step, fixed point (x 10000); the time stop
  /// fires at 0 or less. Lowered by one second at the end of every tick.
  Fixed4 stepSecondsLeft = 0;
  /// False for steps that end only when the load reports the end of its own
  /// test (OCP, OPP, Battery RAMP, Battery Cycle Life): no time stop applies.
  bool stepTimed = false;
  /// Volts; 0 or less means no voltage stop.
  double stepVoltageStop = 0.0;
  /// Ampere-hours; 0 or less means no ampere-hour stop.
  double stepAhStop = 0.0;

  /// FOR/LOOP blocks do not nest: an inner FOR overwrites both. The start row
  /// is a full row index: a 16-bit one would send a LOOP past row 32767 back
  /// to the wrong row.
  std::int16_t loopCount = 0;
  std::int32_t loopStartRow = 0;

  /// Integrated since the step started, one second per tick.
  double stepAh = 0.0;
  double stepWh = 0.0;

  /// The running step's values that the command builders read.
  StepParameters params;

  /// Step list row shown as running (yellow), 0 for none; it turns white when
  /// another row is highlighted or the run ends.
  std::int32_t highlightedRow = 0;

  /// True from Run until Stop, a halt or the end of the list.
  bool running = false;
  /// Changes at every Run, Stop and halt. A tick remembers it at its start:
  /// when it differs after a wait inside the tick, the tick sends nothing more,
  /// changes nothing and does not re-enable the timer.
  std::uint64_t generation = 0;

  /// The voltage of the run's latest measurement; none before the first.
  std::optional<double> lastMeasuredVolts;
  /// Ticks in a row whose "MEAS:VC?" gave no measurement (no reply, a late
  /// one, "ErrRec", or no two numbers); 0 after every good one and at Run.
  int missedMeasurementsInRow = 0;

  /// Raw LAN measurement replies of the current run, oldest first; only the
  /// latest kMaxLanReplies are kept, so a week-long run does not grow it.
  std::deque<std::string> lanReplies;
  /// The step the runner is in; none before the first step, between a step's
  /// end and the next start, and after the run.
  std::optional<OpenStep> openStep;
  /// The latest off line ("LOAD OFF", "SEQLD:TEST OFF") did not reach a
  /// working link, so the load may still be on. The host owes it one bounded
  /// attempt to reach the load again and send it; the run ends as link lost.
  bool offLineOwed = false;
  /// When the run began, for the report of its end.
  LocalDateTime runStarted;
  std::int64_t runStartedMs = 0;
};

/// The function cell text of the step last started, "" before the first.
inline std::string_view CurrentFunctionName(const RunnerState& state) {
  return state.currentFunction ? StepFunctionName(*state.currentFunction) : std::string_view();
}

}  // namespace kv
