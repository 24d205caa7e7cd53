// Stop conditions, each function by the rules the runner applies to it.

#include <string>

#include "check/cell_checks.h"
#include "steps/step_columns.h"
#include "text/number_text.h"
#include "text/quoted.h"

namespace kv::detail {

namespace {

void CheckTimeBudget(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  if (ToFixed4(cells[kColTStop]) > 0) {
    return;
  }
  const Severity severity = rules.idle ? Severity::Warning : Severity::Error;
  const std::string tstop = "TStop " + Quoted(cells[kColTStop]);
  if (rules.budget == Budget::TStopPlusOne) {
    f.Add(severity, tstop +
                        " ends the step within a second: the runner stops it one second after "
                        "the test time it gives the load");
  } else {
    f.Add(severity, tstop +
                        " ends the step at once: the time stop applies from 0 s (unlike VStop "
                        "and AhStop, 0 does not mean none)");
  }
}

/// The text of the voltage the load holds during the step, "" for none.
std::string_view HeldVoltage(const TestStep& cells, VoltageHold hold) {
  switch (hold) {
    case VoltageHold::None:
      return {};
    case VoltageHold::SinkInCvMode:
      return cells[kColMode] == "CV" ? std::string_view(cells[kColSinkValue]) : std::string_view();
    case VoltageHold::CvAdd:
    case VoltageHold::CvAddAfterCc:
      return cells[kColCvAdd];
  }
  return {};
}

// A load that holds the voltage decides the voltage stop by itself: it fires
// at once when the held level is below it and never otherwise.
void CheckVoltageStop(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  const double stop = ToDouble(cells[kColVStop]);
  const std::string_view held = HeldVoltage(cells, rules.hold);
  if (stop <= 0.0 || !IsNumberText(held, false)) {
    return;
  }
  const std::string level = FormatNumber(Value(held));
  const std::string vstop = "VStop " + FormatNumber(stop);
  if (Value(held) >= stop) {
    f.Add(Severity::Warning,
          vstop + " cannot end the step: the load holds the voltage at " + level + " V");
  } else if (rules.hold == VoltageHold::CvAddAfterCc) {
    f.Add(Severity::Warning, vstop + " is above CV Add " + level +
                                 ": the voltage stop ends the step before its constant-voltage "
                                 "phase");
  } else {
    f.Add(Severity::Error,
          vstop + " ends the step at once: the load holds the voltage at " + level + " V");
  }
}

void CheckIgnoredStops(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  for (const int col : {kColVStop, kColAhStop}) {
    if (ToDouble(cells[col]) > 0.0) {
      f.Add(Severity::Warning, std::string(kStepColumnHeaders[static_cast<std::size_t>(col)]) +
                                   " " + cells[col] + " is not applied: a " +
                                   std::string(StepFunctionName(rules.function)) +
                                   " step ends by its time only");
    }
  }
}

}  // namespace

void CheckStops(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  if (rules.budget == Budget::TStop || rules.budget == Budget::TStopPlusOne) {
    CheckTimeBudget(cells, rules, f);
  }
  if (rules.cellStops) {
    CheckVoltageStop(cells, rules, f);
  }
  if (rules.stopCellsIgnored) {
    CheckIgnoredStops(cells, rules, f);
  }
  if (rules.ahStopSentAsWh && ToDouble(cells[kColAhStop]) > 0.0) {
    const std::string limit = FormatNumber(ToDouble(cells[kColAhStop]));
    f.Add(Severity::Note, "AhStop " + limit + " goes to the load as its watt-hour limit (" + limit +
                              " Wh), while the runner stops the step at " + limit + " Ah");
  }
}

}  // namespace kv::detail
