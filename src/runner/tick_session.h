#pragma once
// The inside of one tick, shared by the step start, the checks and the tick
// loop. Everything the tick sends goes through a guard: once a Run, Stop or
// halt has changed the runner's generation (typically while the tick waited
// for the load), no further line of this tick reaches the load.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/instrument_link.h"
#include "results/result_log.h"
#include "runner/runner_state.h"
#include "runner/runner_tick.h"

namespace kv::detail {

class GuardedLink : public InstrumentLink {
 public:
  GuardedLink(InstrumentLink& link, const RunnerState& state)
      : link_(link), state_(state), generation_(state.generation) {}

  bool Halted() const { return state_.generation != generation_; }

  void OpenInstrument(std::int16_t mode) override;
  void CloseInstrument() override;
  void WriteInstrument(std::string_view command) override;
  std::string ReadInstrument() override;
  std::int16_t ConnectMode() const override { return link_.ConnectMode(); }
  bool LastWriteDelivered() const override { return link_.LastWriteDelivered(); }
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override;

 private:
  InstrumentLink& link_;
  const RunnerState& state_;
  std::uint64_t generation_;
};

class TickSession {
 public:
  TickSession(RunnerState& runnerState, RunnerContext& context)
      : state(runnerState), ctx(context), link(context.link, runnerState) {}

  RunnerState& state;
  RunnerContext& ctx;
  GuardedLink link;

  // Per-tick values: the latest measurement.
  std::string lastVoltage;
  std::string lastCurrent;
  double lastPower = 0.0;
  /// The latest poll gave two numbers; otherwise the cells show what came.
  bool measured = false;
  /// The step's sums as its last row showed them, before this tick's poll.
  double ahBeforePoll = 0.0;
  double whBeforePoll = 0.0;
  /// This tick's polls made the run of missed measurements reach
  /// kMeasurementsLostAfter; the host hears of it once the row is added.
  bool measurementsLost = false;

  bool Halted() const { return link.Halted(); }
  /// Writes `line` and reads one reply ("" once halted).
  std::string Query(std::string_view line);
  bool BatteryCapable() const;
  /// Leaves the running step for `reason` (reported to the observer) and
  /// moves on: the next pass starts the following row.
  void EndStep(StepEndReason reason, StepVerdict verdict = StepVerdict::None,
               SkipReason skip = SkipReason::None);
  /// Numbers the row, appends it and tells the observer.
  void AddRow(ResultRow cells);
  void Notice(const std::string& text);
};

/// Reports the end of the open step, if there is one, and closes it.
void EndOpenStep(RunnerState& state, RunnerContext& ctx, StepEndReason reason,
                 StepVerdict verdict = StepVerdict::None, SkipReason skip = SkipReason::None);
/// Ends the open step (if any) for `stepReason` and reports the run's end.
void ReportRunEnd(RunnerState& state, RunnerContext& ctx, StepEndReason stepReason,
                  RunEndReason runReason);

/// Phase 4. True when the tick restarts (FOR, LOOP, a skipped step).
bool StartStep(TickSession& s);

enum class StopResult { None, Ended, Restart };
/// Voltage, ampere-hour and time stops, in that order.
StopResult RunStopChecks(TickSession& s);
/// The checks of steps that the load runs to their end by itself.
void RunCompletionChecks(TickSession& s);
/// "LOAD OFF", the last row turns white, "Test Finished". A "LOAD OFF" that
/// reached no working link ends the run as link lost instead, and owes the
/// load its off line (state.offLineOwed).
void EndOfRun(TickSession& s);

}  // namespace kv::detail
