// Phase 4 of the tick: starting the step at the current row.

#include <limits>
#include <optional>
#include <string>

#include "commands/step_builders.h"
#include "runner/tick_session.h"
#include "steps/list_cell.h"
#include "steps/step_columns.h"
#include "steps/step_function.h"
#include "text/number_text.h"

namespace kv::detail {

namespace {

bool NeedsBatteryModel(StepFunction f) {
  switch (f) {
    case StepFunction::BatteryRamp:
    case StepFunction::SequenceLoad:
    case StepFunction::BatteryCcCv:
    case StepFunction::BatteryCpCv:
    case StepFunction::CvWithCurrentLimit:
    case StepFunction::CvWithPowerLimit:
    case StepFunction::BatteryDischargeCc:
    case StepFunction::BatteryDischargeCp:
    case StepFunction::BatteryCycleLife:
      return true;
    default:
      return false;
  }
}

void Highlight(TickSession& s, int row) {
  const int previous = s.state.highlightedRow;
  s.state.highlightedRow = row;
  s.ctx.grid.SetCurrentCell(row, s.ctx.grid.CurrentCol());
  if (s.ctx.observer != nullptr) {
    s.ctx.observer->OnStepStarted(row, previous == row ? 0 : previous);
  }
}

/// The three limits the runner applies, in the form the builders read them.
void SyncLimits(RunnerState& st) {
  st.params.voltageStop = st.stepVoltageStop;
  st.params.ahStop = st.stepAhStop;
  st.params.secondsBudget = st.stepSecondsLeft;
}

void SetAllStops(RunnerState& st, const TestStep& cells) {
  st.stepVoltageStop = ToDouble(cells[kColVStop]);
  st.stepSecondsLeft = ToFixed4(cells[kColTStop]);
  st.stepAhStop = ToDouble(cells[kColAhStop]);
}

/// Skips a step that cannot run and tells the operator why.
// A sweep's trip threshold or a CV level at or above what the source gave
// just before cannot work: the load sees a trip at once, or draws nothing.
// Only the run knows the voltage, so this is said as the step starts.
void WarnAboveMeasuredVoltage(TickSession& s, StepFunction f, const TestStep& cells) {
  const std::optional<double> measured = s.state.lastMeasuredVolts;
  const bool sweep = f == StepFunction::Ocp || f == StepFunction::Opp;
  const bool cv = f == StepFunction::BatteryCcCv || f == StepFunction::BatteryCpCv ||
                  f == StepFunction::CvWithCurrentLimit || f == StepFunction::CvWithPowerLimit;
  if (!measured || (!sweep && !cv)) {
    return;
  }
  const std::string& text = cells[sweep ? kColVth : kColCvAdd];
  if (!text.empty() && Value(text) >= *measured) {
    s.Notice("Step " + std::to_string(s.state.currentRow) + ": " + (sweep ? "Vth " : "CV ") + text +
             " V is at or above the " + FormatNumber(*measured) + " V measured before it" +
             (sweep ? ": the load sees a trip at once" : ": the load draws nothing"));
  }
}

void Skip(TickSession& s, SkipReason reason, const std::string& why) {
  s.Notice("Step " + std::to_string(s.state.currentRow) + " skipped: " + why);
  s.EndStep(StepEndReason::Skipped, StepVerdict::None, reason);
}

void OpenTheStep(TickSession& s, std::optional<StepFunction> function, const std::string& name) {
  s.state.openStep =
      OpenStep{s.state.currentRow, function, name, s.ctx.clock.Now(), s.ctx.clock.TickMs(), {}};
}

void StartFor(RunnerState& st, const TestStep& cells) {
  st.loopCount = ToInt16(cells[kColTimes]);
  st.loopStartRow = st.currentRow;
  ++st.currentRow;
  st.stepPending = true;
}

void StartLoop(RunnerState& st) {
  if (st.loopCount > std::numeric_limits<std::int16_t>::min()) {
    --st.loopCount;
  }
  if (st.loopCount > 0) {
    st.currentRow = st.loopStartRow + 1;
  } else {
    ++st.currentRow;
  }
  st.stepPending = true;
}

// The functions that run a step on the load; FOR and LOOP are handled before.
void Dispatch(TickSession& s, StepFunction f, const TestStep& cells) {
  RunnerState& st = s.state;
  StepParameters& p = st.params;
  InstrumentLink& link = s.link;
  switch (f) {
    case StepFunction::Discharge:
      p.mode = cells[kColMode];
      p.sinkValue = cells[kColSinkValue];
      SetAllStops(st, cells);
      SyncLimits(st);
      SetModeLevels(p, link);
      LoadOn(link);
      break;
    case StepFunction::Rest:
      st.stepSecondsLeft = ToFixed4(cells[kColTStop]);
      SyncLimits(st);
      LoadOff(link);
      break;
    case StepFunction::Ocp:
    case StepFunction::Opp:
      p.start = cells[kColStart];
      p.stopValue = cells[kColStep];
      p.stepSize = cells[kColStop];
      p.threshold = cells[kColVth];
      p.limitHigh = cells[kColLimitHigh];
      p.limitLow = cells[kColLimitLow];
      st.stepTimed = false;
      SyncLimits(st);
      if (f == StepFunction::Ocp) {
        ConfigureOcp(p, link);
      } else {
        ConfigureOpp(p, link);
      }
      StartTest(link);
      break;
    case StepFunction::Short:
      st.stepSecondsLeft = ToFixed4(cells[kColTStop]);
      SyncLimits(st);
      ShortOn(link);
      break;
    case StepFunction::Dynamic:
      p.mode = cells[kColMode];
      p.high = cells[kColHigh];
      p.low = cells[kColLow];
      p.timeHigh = cells[kColTHigh];
      p.timeLow = cells[kColTLow];
      p.rise = cells[kColRise];
      p.fall = cells[kColFall];
      st.stepSecondsLeft = ToFixed4(cells[kColTStop]);
      SyncLimits(st);
      ConfigureDynamic(p, link);
      LoadOn(link);
      DynamicOn(link);
      break;
    case StepFunction::DynamicOff:
      st.stepSecondsLeft = 0;
      SyncLimits(st);
      DynamicOff(link);
      break;
    case StepFunction::Normal:
      p.mode = cells[kColMode];
      p.sinkValue = cells[kColSinkValue];
      st.stepSecondsLeft = ToFixed4(cells[kColTStop]);
      SyncLimits(st);
      ConfigureNormal(p, link);
      LoadOn(link);
      break;
    case StepFunction::BatteryRamp:
      p.sinkValue = cells[kColSinkValue];
      p.totalSteps = ToInt16(cells[kColTotalStep]);
      p.rampCurrents = SplitList(cells[kColRampCc]);
      p.rampTimes = SplitList(cells[kColRampTime]);
      p.loadOffV = cells[kColLoadOffV];
      p.repeat = ToInt16(cells[kColTimes]);
      st.stepTimed = false;
      SyncLimits(st);
      ConfigureBatteryRamp(p, link);
      SetRampOn(link);
      break;
    case StepFunction::SequenceLoad:
      p.mode = cells[kColMode];
      p.totalSteps = ToInt16(cells[kColTotalStep]);
      p.rampCurrents = SplitList(cells[kColRampCc]);
      p.rampTimes = SplitList(cells[kColRampTime]);
      p.loadOffV = cells[kColLoadOffV];
      st.stepSecondsLeft = 10 * kFixed4One;
      SyncLimits(st);
      SequenceTestOff(link);
      ConfigureSequence(p, link);
      SequenceTestOn(link);
      break;
    case StepFunction::BatteryCcCv:
    case StepFunction::BatteryCpCv:
    case StepFunction::CvWithCurrentLimit:
    case StepFunction::CvWithPowerLimit:
      p.sinkValue = cells[kColSinkValue];
      p.cvValue = cells[kColCvAdd];
      SetAllStops(st, cells);
      SyncLimits(st);
      if (f == StepFunction::BatteryCcCv || f == StepFunction::CvWithCurrentLimit) {
        ConfigureCcCv(p, link);
      } else {
        ConfigureCpCv(p, link);
      }
      LoadOn(link);
      break;
    case StepFunction::BatteryDischargeCc:
    case StepFunction::BatteryDischargeCp:
      p.sinkValue = cells[kColSinkValue];
      SetAllStops(st, cells);
      // The load is told TStop; the runner's own time stop comes one tick
      // later so that the load's timer ends the test first.
      SyncLimits(st);
      if (f == StepFunction::BatteryDischargeCc) {
        ConfigureBatteryDischargeCc(p, link);
      } else {
        ConfigureBatteryDischargeCp(p, link);
      }
      if (s.Halted()) {
        return;
      }
      st.stepSecondsLeft = AddFixed4(st.stepSecondsLeft, kFixed4One);
      LoadOn(link);
      break;
    case StepFunction::BatteryCycleLife:
      p.cycleHigh = SplitList(cells[kColHigh]);
      p.cycleLow = SplitList(cells[kColLow]);
      p.cycleHighTimes = SplitList(cells[kColTHigh]);
      p.cycleLowTimes = SplitList(cells[kColTLow]);
      p.cycleCounts = SplitList(cells[kColCycleCount]);
      p.loadOffV = cells[kColLoadOffV];
      p.repeat = ToInt16(cells[kColTimes]);
      st.stepTimed = false;
      SyncLimits(st);
      ConfigureCycleLife(p, link);
      BatteryDynamicOn(link);
      break;
    case StepFunction::For:
    case StepFunction::Loop:
      break;
  }
}

}  // namespace

bool StartStep(TickSession& s) {
  RunnerState& st = s.state;
  st.stepPending = false;
  Highlight(s, st.currentRow);
  st.stepAh = 0.0;
  st.stepWh = 0.0;

  // A copy: the operator may edit the list while the tick waits for the load.
  const TestStep cells = s.ctx.grid.Row(st.currentRow);
  const std::string& name = cells[kColFunction];
  const auto function = FindStepFunction(name);
  if (function == StepFunction::For || function == StepFunction::Loop) {
    st.currentFunction = function;
    if (*function == StepFunction::For) {
      StartFor(st, cells);
    } else {
      StartLoop(st);
    }
    return true;
  }
  OpenTheStep(s, function, name);
  if (!function) {
    if (name.empty()) {
      Skip(s, SkipReason::NoFunction, "no function");
    } else {
      Skip(s, SkipReason::UnknownFunction, "unknown function \"" + name + "\"");
    }
    return true;
  }
  if (NeedsBatteryModel(*function) && !s.BatteryCapable()) {
    Skip(s, SkipReason::NotOffered, name + " is not available on this model");
    return true;
  }

  WarnAboveMeasuredVoltage(s, *function, cells);
  st.currentFunction = function;
  // Each step runs under its own limits only.
  st.stepVoltageStop = 0.0;
  st.stepAhStop = 0.0;
  st.stepSecondsLeft = 0;
  st.stepTimed = true;
  Dispatch(s, *function, cells);
  return false;
}

}  // namespace kv::detail
