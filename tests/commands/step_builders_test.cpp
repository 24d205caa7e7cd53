#include "commands/step_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps/list_cell.h"
#include "support/scripted_instrument.h"

namespace kv {
namespace {

using Lines = std::vector<std::string>;

TEST(SingleLineBuilders, EachSendsExactlyItsLine) {
  const std::pair<void (*)(InstrumentLink&), const char*> cases[] = {
      {LoadOn, "LOAD ON"},
      {LoadOff, "LOAD OFF"},
      {ShortOn, "SHORT ON"},
      {ShortOff, "SHORT OFF"},
      {StartTest, "START"},
      {StopTest, "STOP"},
      {SetRampOn, "BATT:RAMP:CC ON"},
      {DynamicOn, "DYN ON"},
      {DynamicOff, "DYN OFF"},
      {BatteryDynamicOn, "BATT:DYN ON"},
      {SequenceTestOn, "SEQLD:TEST ON"},
      {SequenceTestOff, "SEQLD:TEST OFF"},
  };
  for (const auto& [builder, line] : cases) {
    test::ScriptedInstrument load;
    builder(load);
    EXPECT_EQ(load.Lines(), Lines{line});
  }
}

StepParameters Mode(const char* mode, const char* value) {
  StepParameters p;
  p.mode = mode;
  p.sinkValue = value;
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

StepParameters AddCv() {
  StepParameters p;
  p.sinkValue = "2";
  p.cvValue = "4.20";
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

StepParameters Ramp(std::int16_t n, const char* currents, const char* times, std::int16_t repeat) {
  StepParameters p;
  p.totalSteps = n;
  p.sinkValue = "1";
  p.rampCurrents = SplitList(currents);
  p.rampTimes = SplitList(times);
  p.loadOffV = "10.5";
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

/// The lines of a cycle-life step: one group of five per cycle, then the end.
Lines CycleLines(std::vector<std::vector<std::string>> groups) {
  Lines all;
  int i = 0;
  for (const auto& g : groups) {
    const std::string n = std::to_string(++i);
    all.insert(all.end(),
               {"BATT:CCH" + n + " " + g[0], "BATT:CCL" + n + " " + g[1],
                "BATT:TH" + n + " " + g[2], "BATT:TL" + n + " " + g[3], "BATT:CYCLE " + g[4]});
  }
  all.insert(all.end(), {"LDOFFV 2.5", "BATT:UVP 2.5", "BATT:REPEAT 5"});
  return all;
}

StepParameters Sequence(const char* type, std::int16_t n, const char* levels, const char* times,
                        const char* threshold = "0.8") {
  StepParameters p;
  p.mode = type;
  p.totalSteps = n;
  p.rampCurrents = SplitList(levels);
  p.rampTimes = SplitList(times);
  p.loadOffV = threshold;
  return p;
}

struct BuilderCase {
  const char* name;
  void (*builder)(const StepParameters&, InstrumentLink&);
  StepParameters params;
  Lines expected;
};

// Every line of every builder, in order: cell texts go out untouched (a
// trailing zero included), empty cells leave the bare literal, the runner's
// limits go out in their shortest form.
TEST(StepBuilders, SendTheirLinesInOrder) {
  const Lines timing = {"PERD:HIGH 10", "PERD:LOW 20", "RISE 0.5", "FALL 2.5"};
  auto with = [&timing](Lines head) {
    head.insert(head.end(), timing.begin(), timing.end());
    return head;
  };
  const BuilderCase cases[] = {
      {"levels CC", SetModeLevels, Mode("CC", "1.50"), {"MODE CC", "CC:HIGH 1.50"}},
      {"levels CP empty", SetModeLevels, Mode("CP", ""), {"MODE CP", "CP:HIGH "}},
      // The level order of a normal step depends on the mode.
      {"normal CC", ConfigureNormal, Mode("CC", "20"), {"MODE CC", "CC:HIGH 20", "CC:LOW 20"}},
      {"normal CR", ConfigureNormal, Mode("CR", "20"), {"MODE CR", "CR:LOW 20", "CR:HIGH 20"}},
      {"normal CV", ConfigureNormal, Mode("CV", "20"), {"MODE CV", "CV:LOW 20", "CV:HIGH 20"}},
      {"normal CP", ConfigureNormal, Mode("CP", "20"), {"MODE CP", "CP:LOW 20", "CP:HIGH 20"}},
      // Modes are compared exactly: anything else sets no level.
      {"normal cc", ConfigureNormal, Mode("cc", "20"), {"MODE cc"}},
      {"normal 'CC '", ConfigureNormal, Mode("CC ", "20"), {"MODE CC "}},
      {"normal ''", ConfigureNormal, Mode("", "20"), {"MODE "}},
      {"dynamic CC", ConfigureDynamic, Dynamic("CC"), with({"MODE CC", "CC:HIGH 3", "CC:LOW 1"})},
      {"dynamic CP", ConfigureDynamic, Dynamic("CP"), with({"MODE CP", "CP:HIGH 3", "CP:LOW 1"})},
      {"dynamic CR", ConfigureDynamic, Dynamic("CR"), with({"MODE CR", "CR:LOW 1", "CR:HIGH 3"})},
      // CV has no dynamic levels: the mode is followed directly by the timing.
      {"dynamic CV", ConfigureDynamic, Dynamic("CV"), with({"MODE CV"})},
      {"dynamic XX", ConfigureDynamic, Dynamic("XX"), with({"MODE XX"})},
      {"dynamic empty",
       ConfigureDynamic,
       Mode("CC", ""),
       {"MODE CC", "CC:HIGH ", "CC:LOW ", "PERD:HIGH ", "PERD:LOW ", "RISE ", "FALL "}},
      // The sweep's increment goes out as STEP and its end as STOP.
      {"OCP",
       ConfigureOcp,
       Sweep("0", "0.6"),
       {"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6", "IH 10", "IL 3",
        "NGENABLE ON"}},
      {"OPP",
       ConfigureOpp,
       Sweep("0", "0.6"),
       {"TCONFIG OPP", "OPP:START 0", "OPP:STEP 0.1", "OPP:STOP 10", "VTH 0.6", "WH 10", "WL 3",
        "NGENABLE ON"}},
      {"OCP empty",
       ConfigureOcp,
       Sweep("", ""),
       {"TCONFIG OCP", "OCP:START ", "OCP:STEP 0.1", "OCP:STOP 10", "VTH ", "IH 10", "IL 3",
        "NGENABLE ON"}},
      {"CC+CV",
       ConfigureCcCv,
       AddCv(),
       {"MODE CC", "CC:HIGH 2", "LIM:ADDCV:VOLT 4.20", "LIM:ADDCV ON"}},
      {"CP+CV",
       ConfigureCpCv,
       AddCv(),
       {"MODE CP", "CP:HIGH 2", "LIM:ADDCV:VOLT 4.20", "LIM:ADDCV ON"}},
      {"battery CC",
       ConfigureBatteryDischargeCc,
       Battery("5.0", 10.50, 3600 * kFixed4One, 2.0),
       {"BATT:CURR 5.0", "BATT:UVP 10.5", "BATT:TIME 3600", "BATT:AH 2", "BATT:TEST ON"}},
      {"battery CP",
       ConfigureBatteryDischargeCp,
       Battery("50", 0.0, 12345, 0.25),  // 1.2345 s left
       {"BATT:POWER 50", "BATT:UVP 0", "BATT:TIME 1.2345", "BATT:WH 0.25", "BATT:TEST ON"}},
      // The start current is step zero; the entries are 1 to N.
      {"ramp",
       ConfigureBatteryRamp,
       Ramp(2, ";2;3", ";5;5", 1),
       {"CC R2", "BATT:STEP 2", "BATT:CC0 1", "BATT:CC1 2", "BATT:DTIME1 5", "BATT:CC2 3",
        "BATT:DTIME2 5", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT 1"}},
      {"ramp N=0",
       ConfigureBatteryRamp,
       Ramp(0, ";2;3", ";5;5", -1),
       {"CC R2", "BATT:STEP 0", "BATT:CC0 1", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT -1"}},
      {"ramp N<0",
       ConfigureBatteryRamp,
       Ramp(-3, ";2;3", ";5;5", -1),
       {"CC R2", "BATT:STEP -3", "BATT:CC0 1", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT -1"}},
      {"ramp holes",
       ConfigureBatteryRamp,
       Ramp(3, ";2", ";10;;20", 1),
       {"CC R2", "BATT:STEP 3", "BATT:CC0 1", "BATT:CC1 2", "BATT:DTIME1 10", "BATT:CC2 ",
        "BATT:DTIME2 ", "BATT:CC3 ", "BATT:DTIME3 20", "LDOFFV 10.5", "BATT:UVP 10.5",
        "BATT:REPEAT 1"}},
      // One cycle per entry of the High list; the companions never add one.
      {"cycles none", ConfigureCycleLife, Cycles("", "", "", "", ""), CycleLines({})},
      {"cycles companions only", ConfigureCycleLife, Cycles("", ";1;2", ";1;2", ";1;2", ";1;2"),
       CycleLines({})},
      {"cycles 1", ConfigureCycleLife, Cycles(";2", ";0.5", ";10", ";10", ";3"),
       CycleLines({{"2", "0.5", "10", "10", "3"}})},
      {"cycles 2", ConfigureCycleLife, Cycles(";2;1", ";0.5;0", ";10;5", ";10;5", ";3;1"),
       CycleLines({{"2", "0.5", "10", "10", "3"}, {"1", "0", "5", "5", "1"}})},
      {"cycles 3", ConfigureCycleLife, Cycles(";2;1;4", ";0.5;0;2", ";10;5;7", ";10;5;8", ";3;1;9"),
       CycleLines(
           {{"2", "0.5", "10", "10", "3"}, {"1", "0", "5", "5", "1"}, {"4", "2", "7", "8", "9"}})},
      // Never more than the load's three cycles.
      {"cycles 4", ConfigureCycleLife, Cycles(";1;2;3;4", ";1;2;3;4", "", "", ""),
       CycleLines({{"1", "1", "", "", ""}, {"2", "2", "", "", ""}, {"3", "3", "", "", ""}})},
      {"cycles short companions", ConfigureCycleLife, Cycles(";2;1", ";0.5", "", ";10;;", ";3"),
       CycleLines({{"2", "0.5", "", "10", "3"}, {"1", "", "", "", ""}})},
      // Sequence steps are numbered from zero on the wire.
      {"sequence CC",
       ConfigureSequence,
       Sequence("CC", 1, ";1.5", ";100"),
       {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 1", "SEQLD:CC0 1.5", "SEQLD:TIME0 100", "VTH 0.8"}},
      {"sequence CP",
       ConfigureSequence,
       Sequence("CP", 2, ";20;30", ";100;200"),
       {"REM", "SEQLD:TYPE CP", "SEQLD:TOTSTEP 2", "SEQLD:CP0 20", "SEQLD:TIME0 100",
        "SEQLD:CP1 30", "SEQLD:TIME1 200", "VTH 0.8"}},
      // Any type but CC sends power levels.
      {"sequence no type",
       ConfigureSequence,
       Sequence("", 1, ";7", ";9"),
       {"REM", "SEQLD:TYPE ", "SEQLD:TOTSTEP 1", "SEQLD:CP0 7", "SEQLD:TIME0 9", "VTH 0.8"}},
      {"sequence short lists",
       ConfigureSequence,
       Sequence("CC", 3, ";1;2", ";10", ""),
       {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 3", "SEQLD:CC0 1", "SEQLD:TIME0 10", "SEQLD:CC1 2",
        "SEQLD:TIME1 ", "SEQLD:CC2 ", "SEQLD:TIME2 ", "VTH "}},
      {"sequence N=0",
       ConfigureSequence,
       Sequence("CC", 0, ";1", ";1"),
       {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 0", "VTH 0.8"}},
      {"sequence N<0",
       ConfigureSequence,
       Sequence("CC", -2, ";1", ";1"),
       {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP -2", "VTH 0.8"}},
  };
  for (const BuilderCase& c : cases) {
    test::ScriptedInstrument load;
    c.builder(c.params, load);
    EXPECT_EQ(load.Lines(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace kv
