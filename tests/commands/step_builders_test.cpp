#include "commands/step_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps/list_cell.h"
#include "support/scripted_instrument.h"

namespace kv {
namespace {

using Lines = std::vector<std::string>;
using Builder = void (*)(const StepParameters&, InstrumentLink&);

Lines Send(Builder builder, const StepParameters& p) {
  test::ScriptedInstrument load;
  builder(p, load);
  return load.Lines();
}

// ---- single-line builders -------------------------------------------------

struct SingleLineCase {
  const char* name;
  void (*builder)(InstrumentLink&);
  const char* line;
};

TEST(SingleLineBuilders, EachSendsExactlyItsLine) {
  const SingleLineCase cases[] = {
      {"LoadOn", LoadOn, "LOAD ON"},
      {"LoadOff", LoadOff, "LOAD OFF"},
      {"ShortOn", ShortOn, "SHORT ON"},
      {"ShortOff", ShortOff, "SHORT OFF"},
      {"StartTest", StartTest, "START"},
      {"StopTest", StopTest, "STOP"},
      {"SetRampOn", SetRampOn, "BATT:RAMP:CC ON"},
      {"DynamicOn", DynamicOn, "DYN ON"},
      {"DynamicOff", DynamicOff, "DYN OFF"},
      {"BatteryDynamicOn", BatteryDynamicOn, "BATT:DYN ON"},
      {"SequenceTestOn", SequenceTestOn, "SEQLD:TEST ON"},
      {"SequenceTestOff", SequenceTestOff, "SEQLD:TEST OFF"},
  };
  for (const auto& c : cases) {
    test::ScriptedInstrument load;
    c.builder(load);
    EXPECT_EQ(load.Lines(), Lines{c.line}) << c.name;
  }
}

// ---- mode and level builders ----------------------------------------------

TEST(SetModeLevels, SendsModeThenHighLevelAsStored) {
  StepParameters p;
  p.mode = "CC";
  p.sinkValue = "1.50";  // cell text goes out untouched, trailing zero included
  EXPECT_EQ(Send(SetModeLevels, p), (Lines{"MODE CC", "CC:HIGH 1.50"}));
  p.mode = "CP";
  p.sinkValue = "";
  EXPECT_EQ(Send(SetModeLevels, p), (Lines{"MODE CP", "CP:HIGH "}));
}

struct ModeCase {
  std::string mode;
  Lines expected;
};

TEST(ConfigureNormal, LevelOrderDependsOnMode) {
  const ModeCase cases[] = {
      {"CC", {"MODE CC", "CC:HIGH 20", "CC:LOW 20"}},
      {"CR", {"MODE CR", "CR:LOW 20", "CR:HIGH 20"}},
      {"CV", {"MODE CV", "CV:LOW 20", "CV:HIGH 20"}},
      {"CP", {"MODE CP", "CP:LOW 20", "CP:HIGH 20"}},
      // Modes are compared exactly: anything else sets no level.
      {"cc", {"MODE cc"}},
      {"CC ", {"MODE CC "}},
      {"", {"MODE "}},
  };
  for (const auto& c : cases) {
    StepParameters p;
    p.mode = c.mode;
    p.sinkValue = "20";
    EXPECT_EQ(Send(ConfigureNormal, p), c.expected) << "mode '" << c.mode << "'";
  }
}

TEST(ConfigureDynamic, LevelsThenTimingInEveryMode) {
  const Lines timing = {"PERD:HIGH 10", "PERD:LOW 20", "RISE 0.5", "FALL 2.5"};
  auto with = [&timing](Lines head) {
    head.insert(head.end(), timing.begin(), timing.end());
    return head;
  };
  const ModeCase cases[] = {
      {"CC", with({"MODE CC", "CC:HIGH 3", "CC:LOW 1"})},
      {"CP", with({"MODE CP", "CP:HIGH 3", "CP:LOW 1"})},
      {"CR", with({"MODE CR", "CR:LOW 1", "CR:HIGH 3"})},
      // CV has no dynamic levels: the mode is followed directly by the timing.
      {"CV", with({"MODE CV"})},
      {"XX", with({"MODE XX"})},
  };
  for (const auto& c : cases) {
    StepParameters p;
    p.mode = c.mode;
    p.high = "3";
    p.low = "1";
    p.timeHigh = "10";
    p.timeLow = "20";
    p.rise = "0.5";
    p.fall = "2.5";
    EXPECT_EQ(Send(ConfigureDynamic, p), c.expected) << "mode " << c.mode;
  }
}

TEST(ConfigureDynamic, EmptyCellsLeaveTheLiteralAlone) {
  StepParameters p;
  p.mode = "CC";
  EXPECT_EQ(Send(ConfigureDynamic, p),
            (Lines{"MODE CC", "CC:HIGH ", "CC:LOW ", "PERD:HIGH ", "PERD:LOW ", "RISE ", "FALL "}));
}

// ---- OCP / OPP ---------------------------------------------------------------

StepParameters Sweep() {
  StepParameters p;
  p.start = "0";
  p.stopValue = "10";  // column 9, headed "Step"
  p.stepSize = "0.1";  // column 10, headed "Stop"
  p.threshold = "0.6";
  p.limitHigh = "10";
  p.limitLow = "3";
  return p;
}

TEST(ConfigureSweep, IncrementGoesOutAsStepAndEndAsStop) {
  StepParameters bare = Sweep();
  bare.threshold.clear();
  bare.start.clear();
  EXPECT_EQ(Send(ConfigureOcp, Sweep()),
            (Lines{"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6", "IH 10",
                   "IL 3", "NGENABLE ON"}));
  EXPECT_EQ(Send(ConfigureOpp, Sweep()),
            (Lines{"TCONFIG OPP", "OPP:START 0", "OPP:STEP 0.1", "OPP:STOP 10", "VTH 0.6", "WH 10",
                   "WL 3", "NGENABLE ON"}));
  // Empty cells leave the bare literal.
  EXPECT_EQ(Send(ConfigureOcp, bare),
            (Lines{"TCONFIG OCP", "OCP:START ", "OCP:STEP 0.1", "OCP:STOP 10", "VTH ", "IH 10",
                   "IL 3", "NGENABLE ON"}));
}

// ---- constant voltage add-on -----------------------------------------------------

TEST(ConfigureAddCv, CcAndCpVariants) {
  StepParameters p;
  p.sinkValue = "2";
  p.cvValue = "4.20";
  EXPECT_EQ(Send(ConfigureCcCv, p),
            (Lines{"MODE CC", "CC:HIGH 2", "LIM:ADDCV:VOLT 4.20", "LIM:ADDCV ON"}));
  EXPECT_EQ(Send(ConfigureCpCv, p),
            (Lines{"MODE CP", "CP:HIGH 2", "LIM:ADDCV:VOLT 4.20", "LIM:ADDCV ON"}));
}

// ---- battery discharge ------------------------------------------------------------

TEST(ConfigureBatteryDischarge, CcWritesLimitsInShortestForm) {
  StepParameters p;
  p.sinkValue = "5.0";
  p.voltageStop = 10.50;
  p.secondsBudget = 3600 * kFixed4One;
  p.ahStop = 2.0;
  EXPECT_EQ(
      Send(ConfigureBatteryDischargeCc, p),
      (Lines{"BATT:CURR 5.0", "BATT:UVP 10.5", "BATT:TIME 3600", "BATT:AH 2", "BATT:TEST ON"}));
}

TEST(ConfigureBatteryDischarge, CpSendsPowerAndWattHours) {
  StepParameters p;
  p.sinkValue = "50";
  p.voltageStop = 0.0;
  p.secondsBudget = 12345;  // 1.2345 s left
  p.ahStop = 0.25;
  EXPECT_EQ(
      Send(ConfigureBatteryDischargeCp, p),
      (Lines{"BATT:POWER 50", "BATT:UVP 0", "BATT:TIME 1.2345", "BATT:WH 0.25", "BATT:TEST ON"}));
}

// ---- battery ramp ---------------------------------------------------------------

StepParameters Ramp(std::int16_t n, const char* currents, const char* times) {
  StepParameters p;
  p.totalSteps = n;
  p.sinkValue = "1";
  p.rampCurrents = SplitList(currents);
  p.rampTimes = SplitList(times);
  p.loadOffV = "10.5";
  p.repeat = 1;
  return p;
}

TEST(ConfigureBatteryRamp, StartCurrentIsStepZeroAndEntriesAreOneToN) {
  EXPECT_EQ(
      Send(ConfigureBatteryRamp, Ramp(2, ";2;3", ";5;5")),
      (Lines{"CC R2", "BATT:STEP 2", "BATT:CC0 1", "BATT:CC1 2", "BATT:DTIME1 5", "BATT:CC2 3",
             "BATT:DTIME2 5", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT 1"}));
}

TEST(ConfigureBatteryRamp, NoLoopLinesForZeroOrNegativeCount) {
  for (const std::int16_t n : {std::int16_t{0}, std::int16_t{-3}}) {
    StepParameters p = Ramp(n, ";2;3", ";5;5");
    p.repeat = -1;
    EXPECT_EQ(Send(ConfigureBatteryRamp, p),
              (Lines{"CC R2", "BATT:STEP " + std::to_string(n), "BATT:CC0 1", "LDOFFV 10.5",
                     "BATT:UVP 10.5", "BATT:REPEAT -1"}))
        << "N = " << n;
  }
}

TEST(ConfigureBatteryRamp, ShortOrHoledListsSendEmptyValues) {
  const Lines lines = Send(ConfigureBatteryRamp, Ramp(3, ";2", ";10;;20"));
  EXPECT_EQ(lines, (Lines{"CC R2", "BATT:STEP 3", "BATT:CC0 1", "BATT:CC1 2", "BATT:DTIME1 10",
                          "BATT:CC2 ", "BATT:DTIME2 ", "BATT:CC3 ", "BATT:DTIME3 20", "LDOFFV 10.5",
                          "BATT:UVP 10.5", "BATT:REPEAT 1"}));
}

// ---- battery cycle life -------------------------------------------------------------

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

Lines CycleGroup(int i, const std::string& h, const std::string& l, const std::string& th,
                 const std::string& tl, const std::string& count) {
  const std::string n = std::to_string(i);
  return {"BATT:CCH" + n + " " + h, "BATT:CCL" + n + " " + l, "BATT:TH" + n + " " + th,
          "BATT:TL" + n + " " + tl, "BATT:CYCLE " + count};
}

Lines CycleLines(std::vector<Lines> groups) {
  Lines all;
  for (const auto& g : groups) {
    all.insert(all.end(), g.begin(), g.end());
  }
  all.insert(all.end(), {"LDOFFV 2.5", "BATT:UVP 2.5", "BATT:REPEAT 5"});
  return all;
}

TEST(ConfigureCycleLife, OneGroupPerEntryOfTheHighList) {
  struct Case {
    const char* high;
    const char* low;
    const char* tHigh;
    const char* tLow;
    const char* counts;
    Lines expected;
  };
  const Case cases[] = {
      {"", "", "", "", "", CycleLines({})},
      // The companions never add cycles of their own.
      {"", ";1;2", ";1;2", ";1;2", ";1;2", CycleLines({})},
      {";2", ";0.5", ";10", ";10", ";3", CycleLines({CycleGroup(1, "2", "0.5", "10", "10", "3")})},
      {";2;1", ";0.5;0", ";10;5", ";10;5", ";3;1",
       CycleLines(
           {CycleGroup(1, "2", "0.5", "10", "10", "3"), CycleGroup(2, "1", "0", "5", "5", "1")})},
      {";2;1;4", ";0.5;0;2", ";10;5;7", ";10;5;8", ";3;1;9",
       CycleLines({CycleGroup(1, "2", "0.5", "10", "10", "3"),
                   CycleGroup(2, "1", "0", "5", "5", "1"),
                   CycleGroup(3, "4", "2", "7", "8", "9")})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Send(ConfigureCycleLife, Cycles(c.high, c.low, c.tHigh, c.tLow, c.counts)),
              c.expected)
        << "High = '" << c.high << "'";
  }
}

TEST(ConfigureCycleLife, ShorterCompanionListsSendEmptyValues) {
  EXPECT_EQ(
      Send(ConfigureCycleLife, Cycles(";2;1", ";0.5", "", ";10;;", ";3")),
      CycleLines({CycleGroup(1, "2", "0.5", "", "10", "3"), CycleGroup(2, "1", "", "", "", "")}));
}

TEST(ConfigureCycleLife, NeverMoreThanTheLoadsThreeCycles) {
  const Lines lines = Send(ConfigureCycleLife, Cycles(";1;2;3;4", ";1;2;3;4", "", "", ""));
  ASSERT_EQ(lines.size(), 3u * 5u + 3u);
  EXPECT_EQ(lines[10], "BATT:CCH3 3");
  EXPECT_EQ(lines[15], "LDOFFV 2.5");
}

// ---- sequence load --------------------------------------------------------------

StepParameters Sequence(const char* type, std::int16_t n, const char* levels, const char* times) {
  StepParameters p;
  p.mode = type;
  p.totalSteps = n;
  p.rampCurrents = SplitList(levels);
  p.rampTimes = SplitList(times);
  p.loadOffV = "0.8";
  return p;
}

TEST(ConfigureSequence, StepsAreNumberedFromZeroOnTheWire) {
  StepParameters noThreshold = Sequence("CC", 3, ";1;2", ";10");
  noThreshold.loadOffV.clear();
  const std::pair<StepParameters, Lines> cases[] = {
      {Sequence("CC", 1, ";1.5", ";100"),
       {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 1", "SEQLD:CC0 1.5", "SEQLD:TIME0 100", "VTH 0.8"}},
      {Sequence("CP", 2, ";20;30", ";100;200"),
       {"REM", "SEQLD:TYPE CP", "SEQLD:TOTSTEP 2", "SEQLD:CP0 20", "SEQLD:TIME0 100",
        "SEQLD:CP1 30", "SEQLD:TIME1 200", "VTH 0.8"}},
      // Any type but CC sends power levels.
      {Sequence("", 1, ";7", ";9"),
       {"REM", "SEQLD:TYPE ", "SEQLD:TOTSTEP 1", "SEQLD:CP0 7", "SEQLD:TIME0 9", "VTH 0.8"}},
      // Short lists and an empty threshold send empty values.
      {noThreshold,
       {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 3", "SEQLD:CC0 1", "SEQLD:TIME0 10", "SEQLD:CC1 2",
        "SEQLD:TIME1 ", "SEQLD:CC2 ", "SEQLD:TIME2 ", "VTH "}},
      // No loop lines for a zero or negative count.
      {Sequence("CC", 0, ";1", ";1"), {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 0", "VTH 0.8"}},
      {Sequence("CC", -2, ";1", ";1"), {"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP -2", "VTH 0.8"}},
  };
  for (const auto& [params, expected] : cases) {
    EXPECT_EQ(Send(ConfigureSequence, params), expected) << "N = " << params.totalSteps;
  }
}

}  // namespace
}  // namespace kv
