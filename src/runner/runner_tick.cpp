#include "runner/runner_tick.h"

#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "results/result_columns.h"
#include "runner/clock_cells.h"
#include "runner/tick_session.h"
#include "steps/step_columns.h"
#include "text/decimal_number.h"
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

bool BeginsWithNumber(std::string_view text) {
  DecimalNumber n;
  return ScanNumber(text, NumberSyntax{}, n) != 0;
}

/// A reply is a measurement only when it holds two numbers: a lost link's
/// "ErrRec" or an empty wait would otherwise read as 0 V and end a
/// voltage-stopped step as if the battery were flat.
void CountMeasurement(TickSession& s, const Fields& f) {
  RunnerState& st = s.state;
  s.measured = f.two && BeginsWithNumber(f.first) && BeginsWithNumber(f.second);
  if (s.measured) {
    st.missedMeasurementsInRow = 0;
    return;
  }
  if (st.missedMeasurementsInRow < std::numeric_limits<int>::max()) {
    ++st.missedMeasurementsInRow;
  }
  if (st.missedMeasurementsInRow == kMeasurementsLostAfter) {
    s.measurementsLost = true;
  }
}

/// Phase 5: one "MEAS:VC?" and the integration over one second.
void PollMeasurement(TickSession& s) {
  s.ahBeforePoll = s.state.stepAh;
  s.whBeforePoll = s.state.stepWh;
  s.link.WriteInstrument("MEAS:VC?");
  std::string reply;  // the fields view it
  Fields f;
  if (s.link.ConnectMode() == kModeLan) {
    reply = s.link.WaitRecvBuf(kReplyWaitMs);
    if (s.Halted()) {
      return;
    }
    f = FirstTwoFields(reply);
    if (f.two) {
      s.lastVoltage = ReplyCell(f.first);
      s.lastCurrent = ReplyCell(f.second);
      if (s.state.lanReplies.size() >= kMaxLanReplies) {
        s.state.lanReplies.pop_front();
      }
      s.state.lanReplies.push_back(reply);
      s.link.ClearRecvBuf();
    } else {
      // Also when the bound passed without a reply.
      s.lastVoltage = "0";
      s.lastCurrent = "0";
    }
  } else {
    reply = s.link.ReadInstrument();
    if (s.Halted()) {
      return;
    }
    f = FirstTwoFields(reply);
    s.lastVoltage = ReplyCell(f.first);
    s.lastCurrent = ReplyCell(f.second);
  }
  CountMeasurement(s, f);
  const double current = Value(s.lastCurrent);
  s.lastPower = Value(s.lastVoltage) * current;
  if (!s.measured) {
    return;  // the row shows the gap; the sums do not pretend 0 A flowed
  }
  s.state.lastMeasuredVolts = Value(s.lastVoltage);
  // Every increment lies on the 1e-8 grid, so the sums are kept on it too:
  // a plain floating-point sum drifts within hours (1.79999999999986 Ah
  // instead of 1.8 after an hour at 1.8 A) and the log shows the drift.
  s.state.stepAh = Round8(s.state.stepAh + Round8(current / 3600.0));
  s.state.stepWh = Round8(s.state.stepWh + Round8(s.lastPower / 3600.0));
}

/// Tells the host, once per stretch, that the measurements stopped coming.
void ReportLostMeasurements(TickSession& s) {
  if (s.measurementsLost && s.ctx.observer != nullptr) {
    s.measurementsLost = false;
    s.ctx.observer->OnMeasurementsLost();
  }
}

void AddMeasurementRow(TickSession& s) {
  const LocalDateTime now = s.ctx.clock.Now();
  ResultRow row;
  row[kResStepTime] = FormatClockCell(now);
  // A tick that measured nothing leaves a gap: 0 V at 0 A in the log, the
  // report and the chart would read as a collapsed battery.
  if (s.measured) {
    row[kResVoltage] = s.lastVoltage;
    row[kResCurrent] = s.lastCurrent;
    row[kResPower] = FormatNumber(s.lastPower);
  }
  row[kResAh] = FormatNumber(s.state.stepAh);
  row[kResWh] = FormatNumber(s.state.stepWh);
  row[kResTotalTime] = FormatStampCell(now);
  row[kResFunction] = CurrentFunctionName(s.state);
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
    return kTickMs;  // midnight passed during the tick
  }
  const double budget = static_cast<double>(state.stepSecondsLeft) / kFixed4One;
  if (state.stepTimed && e >= budget) {
    return kStepEndTickMs;
  }
  if (state.currentFunction == StepFunction::Rest &&
      state.stepSecondsLeft == ToFixed4(grid.Cell(state.currentRow, kColTStop))) {
    return kFirstRestTickMs;
  }
  const double elapsedMs = e * 1000.0;
  if (elapsedMs > kSlowTickMs) {
    return kAfterSlowTickMs;
  }
  return static_cast<int>(RoundHalfEven(kTickMs - elapsedMs));
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
      ReportLostMeasurements(s);
      if (s.Halted()) {
        return Halt();
      }
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
  ReportLostMeasurements(s);
  if (s.Halted()) {
    return Halt();  // the host stopped the run from its row or link handler
  }
  state.stepSecondsLeft = AddFixed4(state.stepSecondsLeft, -kFixed4One);
  return TickOutcome{true, interval};
}

}  // namespace kv
