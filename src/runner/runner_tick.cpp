#include "runner/runner_tick.h"

#include <string>
#include <string_view>
#include <utility>

#include "runner/tick_session.h"
#include "steps/step_columns.h"
#include "text/number_text.h"

namespace kv {

namespace {

using detail::StopResult;
using detail::TickSession;

// A tick restarts for every FOR, LOOP, skipped step and time stop. A list made
// only of such rows would restart for a long time; past this many passes the
// tick ends and the next one carries on from the same row.
constexpr int kMaxPassesPerTick = 1000;
constexpr int kBusyIntervalMs = 50;

struct Fields {
  std::string_view first;
  std::string_view second;
  bool two = false;
};

Fields FirstTwoFields(std::string_view text) {
  Fields f;
  const auto comma = text.find(',');
  if (comma == std::string_view::npos) {
    return f;
  }
  f.two = true;
  f.first = text.substr(0, comma);
  const std::string_view rest = text.substr(comma + 1);
  f.second = rest.substr(0, rest.find(','));
  return f;
}

/// Phase 5: one "MEAS:VC?" and the integration over one second.
void PollMeasurement(TickSession& s) {
  s.link.WriteInstrument("MEAS:VC?");
  if (s.link.ConnectMode() == kModeLan) {
    const std::string reply = s.link.WaitRecvBuf(kLanReplyWaitMs);
    if (s.Halted()) {
      return;
    }
    const Fields f = FirstTwoFields(reply);
    if (f.two) {
      s.lastVoltage = std::string(f.first);
      s.lastCurrent = std::string(f.second);
      s.state.lanReplies.push_back(reply);
      s.link.ClearRecvBuf();
    } else {
      // Also when the bound passed without a reply.
      s.lastVoltage = "0";
      s.lastCurrent = "0";
    }
  } else {
    const std::string reply = s.link.ReadInstrument();
    if (s.Halted()) {
      return;
    }
    const Fields f = FirstTwoFields(reply);
    s.lastVoltage = std::string(f.first);
    s.lastCurrent = std::string(f.second);
  }
  const double current = Value(s.lastCurrent);
  s.lastPower = Value(s.lastVoltage) * current;
  // Every increment lies on the 1e-8 grid, so the sums are kept on it too:
  // a plain floating-point sum drifts within hours (1.79999999999986 Ah
  // instead of 1.8 after an hour at 1.8 A) and the log shows the drift.
  s.state.stepAh = Round8(s.state.stepAh + Round8(current / 3600.0));
  s.state.stepWh = Round8(s.state.stepWh + Round8(s.lastPower / 3600.0));
}

void AddMeasurementRow(TickSession& s) {
  const LocalDateTime now = s.ctx.clock.Now();
  ResultRow row;
  row[1] = FormatClockCell(now);
  row[2] = s.lastVoltage;
  row[3] = s.lastCurrent;
  row[4] = FormatNumber(s.lastPower);
  row[5] = FormatNumber(s.state.stepAh);
  row[6] = FormatNumber(s.state.stepWh);
  row[7] = FormatStampCell(now);
  row[8] = s.state.currentFunction;
  s.AddRow(std::move(row));
}

TickOutcome Halt() {
  return TickOutcome{false, 0};
}

}  // namespace

int NextTickInterval(const RunnerState& state, const StepGrid& grid, double tickStartSeconds,
                     double nowSeconds) {
  const double e = nowSeconds - tickStartSeconds;
  if (e < 0.0) {
    return 1000;  // midnight passed during the tick
  }
  const double budget = static_cast<double>(state.stepSecondsLeft) / kFixed4One;
  if (state.stepTimed && e >= budget) {
    return 50;
  }
  // The first tick of a Rest step comes early.
  if (state.currentFunction == "Rest" &&
      state.stepSecondsLeft == ToFixed4(grid.Cell(state.currentRow, kColTStop))) {
    return 700;
  }
  if (e * 1000.0 > 950.0) {
    return 975;
  }
  return static_cast<int>(RoundHalfEven(1000.0 - e * 1000.0));
}

TickOutcome RunnerTick(RunnerState& state, RunnerContext& ctx) {
  if (!state.running) {
    return Halt();
  }
  TickSession s(state, ctx);
  double tickStart = 0.0;
  for (int pass = 1;; ++pass) {
    tickStart = ctx.clock.SecondsSinceMidnight();
    if (state.currentRow > ctx.grid.Rows() - 2) {
      detail::EndOfRun(s);
      return Halt();
    }
    if (pass > kMaxPassesPerTick) {
      return TickOutcome{true, kBusyIntervalMs};
    }
    if (state.stepPending) {
      const bool restart = detail::StartStep(s);
      if (s.Halted()) {
        return Halt();
      }
      if (restart) {
        continue;
      }
    }
    PollMeasurement(s);
    if (s.Halted()) {
      return Halt();
    }
    const StopResult stop = detail::RunStopChecks(s);
    if (s.Halted()) {
      return Halt();
    }
    if (stop == StopResult::Restart) {
      continue;
    }
    if (stop == StopResult::None) {
      detail::RunCompletionChecks(s);
      if (s.Halted()) {
        return Halt();
      }
    }
    break;
  }
  const int interval =
      NextTickInterval(state, ctx.grid, tickStart, ctx.clock.SecondsSinceMidnight());
  AddMeasurementRow(s);
  if (s.Halted()) {
    return Halt();  // the host stopped the run from its row handler
  }
  state.stepSecondsLeft = AddFixed4(state.stepSecondsLeft, -kFixed4One);
  return TickOutcome{true, interval};
}

}  // namespace kv
