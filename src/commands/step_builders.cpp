#include "commands/step_builders.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "steps/list_cell.h"
#include "text/number_text.h"

namespace kv {
namespace {

// The load has three cycle slots (BATT:CCH1 to BATT:CCH3); a step read from a
// hand-edited file may carry more entries than the editor can produce.
constexpr int kMaxCycleEntries = 3;

// Every line is a literal glued to a value with nothing in between. Values go
// out exactly as the cell holds them, so an empty cell leaves the literal alone
// ("VTH ") rather than inventing a value the operator never entered.
void Send(InstrumentLink& link, std::string_view literal, std::string_view value = {}) {
  std::string line;
  line.reserve(literal.size() + value.size());
  line.append(literal);
  line.append(value);
  link.WriteInstrument(line);
}

// Literal + sub-step number + " " + value, as in "BATT:CC2 3".
void SendNumbered(InstrumentLink& link, std::string_view literal, int number,
                  std::string_view value) {
  std::string head(literal);
  head += std::to_string(number);
  head += ' ';
  Send(link, head, value);
}

// Normal sets both levels to one value; in these modes the low level goes first.
bool LowFirstInNormal(std::string_view mode) {
  return mode == "CR" || mode == "CV" || mode == "CP";
}

}  // namespace

void LoadOn(InstrumentLink& link) {
  Send(link, "LOAD ON");
}
void LoadOff(InstrumentLink& link) {
  Send(link, "LOAD OFF");
}
void ShortOn(InstrumentLink& link) {
  Send(link, "SHORT ON");
}
void ShortOff(InstrumentLink& link) {
  Send(link, "SHORT OFF");
}
void StartTest(InstrumentLink& link) {
  Send(link, "START");
}
void StopTest(InstrumentLink& link) {
  Send(link, "STOP");
}
void SetRampOn(InstrumentLink& link) {
  Send(link, "BATT:RAMP:CC ON");
}
void DynamicOn(InstrumentLink& link) {
  Send(link, "DYN ON");
}
void DynamicOff(InstrumentLink& link) {
  Send(link, "DYN OFF");
}
void BatteryDynamicOn(InstrumentLink& link) {
  Send(link, "BATT:DYN ON");
}
void SequenceTestOn(InstrumentLink& link) {
  Send(link, "SEQLD:TEST ON");
}
void SequenceTestOff(InstrumentLink& link) {
  Send(link, "SEQLD:TEST OFF");
}

void SetModeLevels(const StepParameters& p, InstrumentLink& link) {
  Send(link, "MODE ", p.mode);
  Send(link, p.mode + ":HIGH ", p.sinkValue);
}

void ConfigureNormal(const StepParameters& p, InstrumentLink& link) {
  const std::string& m = p.mode;
  Send(link, "MODE ", m);
  if (m == "CC") {
    Send(link, m + ":HIGH ", p.sinkValue);
    Send(link, m + ":LOW ", p.sinkValue);
  } else if (LowFirstInNormal(m)) {
    Send(link, m + ":LOW ", p.sinkValue);
    Send(link, m + ":HIGH ", p.sinkValue);
  }
}

void ConfigureDynamic(const StepParameters& p, InstrumentLink& link) {
  const std::string& m = p.mode;
  Send(link, "MODE ", m);
  if (m == "CC" || m == "CP") {
    Send(link, m + ":HIGH ", p.high);
    Send(link, m + ":LOW ", p.low);
  } else if (m == "CR") {
    Send(link, m + ":LOW ", p.low);
    Send(link, m + ":HIGH ", p.high);
  }
  Send(link, "PERD:HIGH ", p.timeHigh);
  Send(link, "PERD:LOW ", p.timeLow);
  Send(link, "RISE ", p.rise);
  Send(link, "FALL ", p.fall);
}

namespace {

// OCP and OPP differ only in the test name and the limit literals. The sweep's
// increment sits in the column headed "Stop" and its end in the one headed
// "Step"; the load wants them the other way round on the wire.
void ConfigureSweep(const StepParameters& p, InstrumentLink& link, std::string_view test,
                    std::string_view highLiteral, std::string_view lowLiteral) {
  const std::string t(test);
  Send(link, "TCONFIG ", t);
  Send(link, t + ":START ", p.start);
  Send(link, t + ":STEP ", p.stepSize);
  Send(link, t + ":STOP ", p.stopValue);
  Send(link, "VTH ", p.threshold);
  Send(link, highLiteral, p.limitHigh);
  Send(link, lowLiteral, p.limitLow);
  Send(link, "NGENABLE ON");
}

void ConfigureAddCv(const StepParameters& p, InstrumentLink& link, std::string_view mode) {
  const std::string m(mode);
  Send(link, "MODE ", m);
  Send(link, m + ":HIGH ", p.sinkValue);
  Send(link, "LIM:ADDCV:VOLT ", p.cvValue);
  Send(link, "LIM:ADDCV ON");
}

void ConfigureBatteryDischarge(const StepParameters& p, InstrumentLink& link,
                               std::string_view levelLiteral, std::string_view capacityLiteral) {
  Send(link, levelLiteral, p.sinkValue);
  Send(link, "BATT:UVP ", FormatNumber(p.voltageStop));
  Send(link, "BATT:TIME ", FormatFixed4(p.secondsBudget));
  Send(link, capacityLiteral, FormatNumber(p.ahStop));
  Send(link, "BATT:TEST ON");
}

}  // namespace

void ConfigureOcp(const StepParameters& p, InstrumentLink& link) {
  ConfigureSweep(p, link, "OCP", "IH ", "IL ");
}

void ConfigureOpp(const StepParameters& p, InstrumentLink& link) {
  ConfigureSweep(p, link, "OPP", "WH ", "WL ");
}

void ConfigureCcCv(const StepParameters& p, InstrumentLink& link) {
  ConfigureAddCv(p, link, "CC");
}

void ConfigureCpCv(const StepParameters& p, InstrumentLink& link) {
  ConfigureAddCv(p, link, "CP");
}

void ConfigureBatteryDischargeCc(const StepParameters& p, InstrumentLink& link) {
  ConfigureBatteryDischarge(p, link, "BATT:CURR ", "BATT:AH ");
}

void ConfigureBatteryDischargeCp(const StepParameters& p, InstrumentLink& link) {
  ConfigureBatteryDischarge(p, link, "BATT:POWER ", "BATT:WH ");
}

void ConfigureBatteryRamp(const StepParameters& p, InstrumentLink& link) {
  const int n = p.totalSteps;
  Send(link, "CC R2");
  Send(link, "BATT:STEP ", std::to_string(n));
  // Step 0 of a ramp is its start current; the list entries are steps 1 to N.
  Send(link, "BATT:CC0 ", p.sinkValue);
  for (int i = 1; i <= n; ++i) {
    SendNumbered(link, "BATT:CC", i, ListEntry(p.rampCurrents, i));
    SendNumbered(link, "BATT:DTIME", i, ListEntry(p.rampTimes, i));
  }
  Send(link, "LDOFFV ", p.loadOffV);
  Send(link, "BATT:UVP ", p.loadOffV);
  Send(link, "BATT:REPEAT ", std::to_string(p.repeat));
}

void ConfigureCycleLife(const StepParameters& p, InstrumentLink& link) {
  // The step's own High list decides how many cycles go out: the editor keeps
  // the five lists the same length, so High is the authoritative count.
  const int n = std::clamp(ListHighestIndex(p.cycleHigh), 0, kMaxCycleEntries);
  for (int i = 1; i <= n; ++i) {
    SendNumbered(link, "BATT:CCH", i, ListEntry(p.cycleHigh, i));
    SendNumbered(link, "BATT:CCL", i, ListEntry(p.cycleLow, i));
    SendNumbered(link, "BATT:TH", i, ListEntry(p.cycleHighTimes, i));
    SendNumbered(link, "BATT:TL", i, ListEntry(p.cycleLowTimes, i));
    // Unlike its four neighbours this line carries no cycle number.
    Send(link, "BATT:CYCLE ", ListEntry(p.cycleCounts, i));
  }
  Send(link, "LDOFFV ", p.loadOffV);
  Send(link, "BATT:UVP ", p.loadOffV);
  Send(link, "BATT:REPEAT ", std::to_string(p.repeat));
}

void ConfigureSequence(const StepParameters& p, InstrumentLink& link) {
  const std::string& type = p.mode;
  const int n = p.totalSteps;
  Send(link, "REM");
  Send(link, "SEQLD:TYPE ", type);
  Send(link, "SEQLD:TOTSTEP ", std::to_string(n));
  const std::string_view levelLiteral = type == "CC" ? "SEQLD:CC" : "SEQLD:CP";
  // Sequence steps are numbered from 0 on the wire, unlike ramp steps.
  for (int i = 1; i <= n; ++i) {
    SendNumbered(link, levelLiteral, i - 1, ListEntry(p.rampCurrents, i));
    SendNumbered(link, "SEQLD:TIME", i - 1, ListEntry(p.rampTimes, i));
  }
  Send(link, "VTH ", p.loadOffV);
}

}  // namespace kv
