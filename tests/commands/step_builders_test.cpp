#include "commands/step_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps/list_cell.h"
#include "support/scripted_instrument.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

// Each sent line in quotes, so that a trailing blank shows in the file.
std::string Quoted(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += "\"" + line + "\"\n";
  }
  return text;
}

StepParameters Mode(const char* mode, const char* value, const char* cvValue = "") {
  StepParameters p;
  p.mode = mode;
  p.sinkValue = value;
  p.cvValue = cvValue;
  return p;
}

StepParameters Dynamic(const char* mode) {
  StepParameters p;
  p.mode = mode;
  p.high = "3";
  p.low = "1";
  p.timeHigh = "10";
  p.timeLow = "20";
  p.rise = "0.5";
  p.fall = "2.5";
  return p;
}

StepParameters Sweep(const char* start, const char* threshold) {
  StepParameters p;
  p.start = start;
  p.stopValue = "10";  // column 9, headed "Step"
  p.stepSize = "0.1";  // column 10, headed "Stop"
  p.threshold = threshold;
  p.limitHigh = "10";
  p.limitLow = "3";
  return p;
}

StepParameters Battery(const char* value, double voltageStop, Fixed4 budget, double ahStop) {
  StepParameters p;
  p.sinkValue = value;
  p.voltageStop = voltageStop;
  p.secondsBudget = budget;
  p.ahStop = ahStop;
  return p;
}

// A ramp (its start current is "1") or a sequence (its type is the mode).
StepParameters SubSteps(const char* mode, std::int16_t n, const char* levels, const char* times,
                        const char* loadOffV, std::int16_t repeat = 1) {
  StepParameters p;
  p.mode = mode;
  p.sinkValue = "1";
  p.totalSteps = n;
  p.rampCurrents = SplitList(levels);
  p.rampTimes = SplitList(times);
  p.loadOffV = loadOffV;
  p.repeat = repeat;
  return p;
}

StepParameters Cycles(const char* high, const char* low, const char* tHigh, const char* tLow,
                      const char* counts) {
  StepParameters p;
  p.cycleHigh = SplitList(high);
  p.cycleLow = SplitList(low);
  p.cycleHighTimes = SplitList(tHigh);
  p.cycleLowTimes = SplitList(tLow);
  p.cycleCounts = SplitList(counts);
  p.loadOffV = "2.5";
  p.repeat = 5;
  return p;
}

struct BuilderCase {
  const char* name;
  void (*builder)(const StepParameters&, InstrumentLink&);
  StepParameters params;
};

// Every line of every builder, in order: cell texts go out untouched (a
// trailing zero included), empty cells leave the bare literal, the runner's
// limits go out in their shortest form.
TEST(StepBuilders, SendTheirLinesInOrder) {
  std::string sent = "[single-line builders]\n";
  for (void (*builder)(InstrumentLink&) :
       {LoadOn, LoadOff, ShortOn, ShortOff, StartTest, StopTest, SetRampOn, DynamicOn, DynamicOff,
        BatteryDynamicOn, SequenceTestOn, SequenceTestOff}) {
    test::ScriptedInstrument load;
    builder(load);
    sent += Quoted(load.Lines());
  }
  const BuilderCase cases[] = {
      {"levels CC", SetModeLevels, Mode("CC", "1.50")},
      {"levels CP empty", SetModeLevels, Mode("CP", "")},
      // The level order of a normal step depends on the mode.
      {"normal CC", ConfigureNormal, Mode("CC", "20")},
      {"normal CR", ConfigureNormal, Mode("CR", "20")},
      {"normal CV", ConfigureNormal, Mode("CV", "20")},
      {"normal CP", ConfigureNormal, Mode("CP", "20")},
      // Modes are compared exactly: anything else sets no level.
      {"normal cc", ConfigureNormal, Mode("cc", "20")},
      {"normal 'CC '", ConfigureNormal, Mode("CC ", "20")},
      {"normal ''", ConfigureNormal, Mode("", "20")},
      {"dynamic CC", ConfigureDynamic, Dynamic("CC")},
      {"dynamic CP", ConfigureDynamic, Dynamic("CP")},
      {"dynamic CR", ConfigureDynamic, Dynamic("CR")},
      // CV has no dynamic levels: the mode is followed directly by the timing.
      {"dynamic CV", ConfigureDynamic, Dynamic("CV")},
      {"dynamic XX", ConfigureDynamic, Dynamic("XX")},
      {"dynamic empty", ConfigureDynamic, Mode("CC", "")},
      // The sweep's increment goes out as STEP and its end as STOP.
      {"OCP", ConfigureOcp, Sweep("0", "0.6")},
      {"OPP", ConfigureOpp, Sweep("0", "0.6")},
      {"OCP empty", ConfigureOcp, Sweep("", "")},
      {"CC+CV", ConfigureCcCv, Mode("", "2", "4.20")},
      {"CP+CV", ConfigureCpCv, Mode("", "2", "4.20")},
      {"battery CC", ConfigureBatteryDischargeCc, Battery("5.0", 10.50, 3600 * kFixed4One, 2.0)},
      {"battery CP", ConfigureBatteryDischargeCp, Battery("50", 0.0, 12345, 0.25)},
      // The start current is step zero; the entries are 1 to N.
      {"ramp", ConfigureBatteryRamp, SubSteps("", 2, ";2;3", ";5;5", "10.5", 1)},
      {"ramp N=0", ConfigureBatteryRamp, SubSteps("", 0, ";2;3", ";5;5", "10.5", -1)},
      {"ramp N<0", ConfigureBatteryRamp, SubSteps("", -3, ";2;3", ";5;5", "10.5", -1)},
      {"ramp holes", ConfigureBatteryRamp, SubSteps("", 3, ";2", ";10;;20", "10.5", 1)},
      // One cycle per entry of the High list; the companions never add one.
      {"cycles none", ConfigureCycleLife, Cycles("", "", "", "", "")},
      {"cycles companions only", ConfigureCycleLife, Cycles("", ";1;2", ";1;2", ";1;2", ";1;2")},
      {"cycles 1", ConfigureCycleLife, Cycles(";2", ";0.5", ";10", ";10", ";3")},
      {"cycles 2", ConfigureCycleLife, Cycles(";2;1", ";0.5;0", ";10;5", ";10;5", ";3;1")},
      {"cycles 3", ConfigureCycleLife,
       Cycles(";2;1;4", ";0.5;0;2", ";10;5;7", ";10;5;8", ";3;1;9")},
      // Never more than the load's three cycles.
      {"cycles 4", ConfigureCycleLife, Cycles(";1;2;3;4", ";1;2;3;4", "", "", "")},
      {"cycles short companions", ConfigureCycleLife, Cycles(";2;1", ";0.5", "", ";10;;", ";3")},
      // Sequence steps are numbered from zero on the wire.
      {"sequence CC", ConfigureSequence, SubSteps("CC", 1, ";1.5", ";100", "0.8")},
      {"sequence CP", ConfigureSequence, SubSteps("CP", 2, ";20;30", ";100;200", "0.8")},
      // Any type but CC sends power levels.
      {"sequence no type", ConfigureSequence, SubSteps("", 1, ";7", ";9", "0.8")},
      {"sequence short lists", ConfigureSequence, SubSteps("CC", 3, ";1;2", ";10", "")},
      {"sequence N=0", ConfigureSequence, SubSteps("CC", 0, ";1", ";1", "0.8")},
      {"sequence N<0", ConfigureSequence, SubSteps("CC", -2, ";1", ";1", "0.8")},
  };
  for (const BuilderCase& c : cases) {
    test::ScriptedInstrument load;
    c.builder(c.params, load);
    sent += "[" + std::string(c.name) + "]\n" + Quoted(load.Lines());
  }
  EXPECT_EQ(sent, test::Golden("commands/builder_lines.txt"));
}

}  // namespace
}  // namespace kv
