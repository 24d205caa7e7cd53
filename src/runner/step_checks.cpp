// Phase 6 of the tick and the end of the run: when a step ends, what goes to
// the load at that moment and which result rows are written.

#include <string>
#include <string_view>

#include "commands/step_builders.h"
#include "results/result_columns.h"
#include "runner/clock_cells.h"
#include "runner/tick_session.h"
#include "steps/step_columns.h"
#include "steps/step_function.h"
#include "text/decimal_number.h"
#include "text/number_text.h"

namespace kv::detail {

namespace {

/// A result row with the clock and stamp cells and the function name filled.
ResultRow ResultRowBase(const TickSession& s) {
  const LocalDateTime now = s.ctx.clock.Now();
  ResultRow row;
  row[kResStepTime] = FormatClockCell(now);
  row[kResTotalTime] = FormatStampCell(now);
  row[kResFunction] = CurrentFunctionName(s.state);
  return row;
}

/// A verdict needs a reading: "ErrRec" or an empty reply from a lost link
/// reads as 0, which must not pass a test.
bool HoldsNumber(std::string_view reply) {
  DecimalNumber n;
  return ScanNumber(reply, NumberSyntax{}, n) != 0;
}

/// The load's own test has ended when "TESTING?" answers 0 (or nothing
/// readable).
bool LoadTestEnded(TickSession& s) {
  return Value(s.Query("TESTING?")) == 0.0;
}

void CompleteSequenceLoad(TickSession& s) {
  if (!s.BatteryCapable() || !LoadTestEnded(s) || s.Halted()) {
    return;
  }
  s.EndStep(StepEndReason::Completed);
  SequenceTestOff(s.link);
  s.Query("MEAS:VC?");
}

void CompleteRampOrCycleLife(TickSession& s) {
  if (!s.BatteryCapable() || !LoadTestEnded(s) || s.Halted()) {
    return;
  }
  const std::string reply = s.Query("BATT:RVOLT?");
  if (s.Halted()) {
    return;
  }
  // Compared as numbers: as texts "9.5" would not be below "10.5".
  const bool pass = HoldsNumber(reply) && Value(reply) < Value(s.state.params.loadOffV);
  s.EndStep(StepEndReason::Completed, pass ? StepVerdict::Pass : StepVerdict::Fail);
  ResultRow row = ResultRowBase(s);
  // The reply is logged whole for both verdicts: cutting its first three
  // characters on a FAIL would turn 11.25 V into "25".
  row[kResVoltage] = ReplyCell(reply);
  row[kResResult] = pass ? "PASS" : "FAIL";
  s.AddRow(std::move(row));
}

void CompleteOcpOrOpp(TickSession& s, StepFunction f) {
  const bool ocp = f == StepFunction::Ocp;
  if (!LoadTestEnded(s) || s.Halted()) {
    return;
  }
  const double verdict = Value(s.Query("NG?"));
  if (s.Halted() || (verdict != 0.0 && verdict != 1.0)) {
    return;
  }
  const std::string trip = s.Query(ocp ? "OCP?" : "OPP?");
  if (s.Halted()) {
    return;
  }
  const StepParameters& p = s.state.params;
  const double x = Value(trip);
  const bool pass = HoldsNumber(trip) && Value(p.limitLow) <= x && x <= Value(p.limitHigh);
  // The load answers a sweep that reached its end without tripping with 0.
  // The row keeps that reply; the step's end says what it means.
  if (HoldsNumber(trip) && x == 0.0 && s.state.openStep) {
    s.state.openStep->noTrip = NoTrip{Value(p.stopValue), Value(p.start) <= 0.0};
  }
  StopTest(s.link);
  if (s.Halted()) {
    return;
  }
  s.EndStep(StepEndReason::Completed, pass ? StepVerdict::Pass : StepVerdict::Fail);
  ResultRow row = ResultRowBase(s);
  row[ocp ? kResCurrent : kResPower] = ReplyCell(trip);
  row[kResResult] = pass ? "PASS" : "FAIL";
  s.AddRow(std::move(row));
}

}  // namespace

StopResult RunStopChecks(TickSession& s) {
  RunnerState& st = s.state;
  // Without a measurement nothing is known about the voltage.
  if (st.stepVoltageStop > 0.0 && s.measured && Value(s.lastVoltage) < st.stepVoltageStop) {
    s.EndStep(StepEndReason::Voltage);
    return StopResult::Ended;
  }
  if (st.stepAhStop > 0.0 && st.stepAh >= st.stepAhStop) {
    s.EndStep(StepEndReason::Ah);
    return StopResult::Ended;
  }
  if (st.stepTimed && st.stepSecondsLeft <= 0) {
    if (st.currentFunction == StepFunction::Short) {
      ShortOff(s.link);
    } else if (st.currentRow >= s.ctx.grid.StepCount() ||
               s.ctx.grid.Cell(st.currentRow + 1, kColFunction) != CurrentFunctionName(st)) {
      // When the next step has the same function the load stays on.
      LoadOff(s.link);
    }
    if (s.Halted()) {
      return StopResult::Ended;
    }
    // This tick's row belongs to the next step: the step that ran out covers
    // its own rows only, not the poll that found it over.
    st.stepAh = s.ahBeforePoll;
    st.stepWh = s.whBeforePoll;
    s.EndStep(StepEndReason::Time);
    return StopResult::Restart;
  }
  return StopResult::None;
}

void RunCompletionChecks(TickSession& s) {
  if (!s.state.currentFunction) {
    return;
  }
  const StepFunction f = *s.state.currentFunction;
  switch (f) {
    case StepFunction::SequenceLoad:
      CompleteSequenceLoad(s);
      break;
    case StepFunction::BatteryRamp:
    case StepFunction::BatteryCycleLife:
      CompleteRampOrCycleLife(s);
      break;
    case StepFunction::BatteryDischargeCc:
    case StepFunction::BatteryDischargeCp:
      // Asked for the load's sake only; these steps end by their stops.
      if (s.BatteryCapable()) {
        s.Query("TESTING?");
      }
      break;
    case StepFunction::Ocp:
    case StepFunction::Opp:
      CompleteOcpOrOpp(s, f);
      break;
    default:
      break;
  }
}

void EndOfRun(TickSession& s) {
  LoadOff(s.link);
  if (s.Halted()) {
    return;
  }
  RunnerState& st = s.state;
  st.running = false;
  // A list that ran to its end over a link that is gone has not finished
  // safely: the load may still be on, and the host owes it one more try.
  const bool delivered = s.link.LastWriteDelivered();
  st.offLineOwed = st.offLineOwed || !delivered;
  // The last step normally ended by its own reason already; one still open
  // had its rows removed from under it.
  ReportRunEnd(st, s.ctx, StepEndReason::EndOfList,
               delivered ? RunEndReason::Completed : RunEndReason::LinkLost);
  const int lastRow = st.highlightedRow;
  st.highlightedRow = 0;
  if (s.ctx.observer != nullptr) {
    s.ctx.observer->OnRunFinished(lastRow);
    if (delivered) {
      s.ctx.observer->OnMessage(kTestFinished);
    }
  }
}

}  // namespace kv::detail
