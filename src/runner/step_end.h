#pragma once
// Why a step was left and how a run ended. The runner reports one StepEnd for
// every step it leaves (each pass of a FOR/LOOP block counts) and one RunEnd
// per run. FOR and LOOP rows are bookkeeping: they send nothing, take no
// tick and measure nothing, so they are not reported; the passes of a block
// show as the repeated steps inside it.
//
// The last step of a list ends by its own reason (a stop, the load, a skip);
// reaching the end of the list ends the run ("completed"). EndOfList is given
// only to a step that was still running when the list ran out under it (its
// rows were removed while it ran).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "steps/step_function.h"

namespace kv {

enum class StepEndReason {
  Voltage,     // the measured voltage fell below the step's voltage stop
  Ah,          // the step's ampere-hours reached its Ah stop
  Time,        // the step's time budget ran out
  Completed,   // the load reported the end of the test it runs itself
  Skipped,     // the step could not run (see SkipReason)
  Stopped,     // Stop (or Run again) while the step ran
  LinkLost,    // the host found the link lost while the step ran
  EndOfList,   // the list ran out under a running step
  Unrecorded,  // reopened from a file that does not say how the step ended
};

enum class SkipReason {
  None,
  NoFunction,       // the function cell is empty
  UnknownFunction,  // the function cell names no function
  NotOffered,       // the identified model does not offer the function
};

/// The load's verdict of a step that it completed itself, where it gives one.
enum class StepVerdict { None, Pass, Fail };

enum class RunEndReason {
  Completed,  // the list ran to its end
  Stopped,    // Stop, a halt, or Run again
  LinkLost,
  Timeout,        // stopped because the run took longer than its caller allows
  Unrecorded,     // reopened from a file: the run may have ended in a crash
  RemoteStopped,  // "stop" from the lab's broker
};

/// Stable machine names ("voltage", "ah", "time", "completed", "skipped",
/// "stopped", "link-lost", "end-of-list", "unrecorded") for files and scripts.
std::string_view StepEndReasonName(StepEndReason reason);
/// What an operator reads ("voltage stop", "Stop pressed", ...).
std::string_view StepEndReasonText(StepEndReason reason);
/// "" for None; "no-function", "unknown-function", "not-offered".
std::string_view SkipReasonName(SkipReason reason);
/// "" for None, else "PASS" or "FAIL" as the result rows write it.
std::string_view StepVerdictText(StepVerdict verdict);
/// "completed", "stopped", "link-lost".
std::string_view RunEndReasonName(RunEndReason reason);
std::string_view RunEndReasonText(RunEndReason reason);

/// An OCP or OPP sweep that the load reported without a trip level: it
/// answers such a sweep as a trip at 0.
struct NoTrip {
  /// The sweep's end level, in A (OCP) or W (OPP).
  double upTo = 0.0;
  /// The sweep started at 0 or below, where a trip at 0 reads the same.
  bool fromZero = false;
};

struct StepEnd {
  /// Step list row, which is the step's number.
  std::int32_t row = 0;
  /// None when the function cell names no function.
  std::optional<StepFunction> function;
  /// The function cell as it stood when the step started.
  std::string functionName;
  StepEndReason reason = StepEndReason::Time;
  SkipReason skip = SkipReason::None;
  StepVerdict verdict = StepVerdict::None;
  std::optional<NoTrip> noTrip;
  /// As the runner had integrated them when the step was left. After a time
  /// stop this includes the poll of the tick that found the budget spent,
  /// which no measurement row of the step shows.
  double ah = 0.0;
  double wh = 0.0;
  LocalDateTime started;
  LocalDateTime ended;
  /// From the clock's monotonic milliseconds, not from the tick count.
  double seconds = 0.0;
};

struct RunEnd {
  RunEndReason reason = RunEndReason::Completed;
  LocalDateTime started;
  LocalDateTime ended;
  double seconds = 0.0;
};

/// The human text of a step's end, with the reason of a skip:
/// "skipped: Battery RAMP is not offered by this model", or what a verdict
/// rests on: "completed by the load, FAIL: no trip up to 4.8 A".
std::string StepEndNote(const StepEnd& end);

}  // namespace kv
