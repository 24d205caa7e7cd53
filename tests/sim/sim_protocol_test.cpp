#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/sim_values.h"
#include "sim/simulated_load.h"

namespace kv {
namespace {

using ::testing::ElementsAre;

// Every line the command builders send, with what it must change in the load.
struct BuilderLine {
  std::vector<std::string> lines;
  std::function<bool(const SimulatedLoad&)> holds;
};

std::vector<BuilderLine> BuilderLines() {
  using L = const SimulatedLoad&;
  auto lv = [](L l, SimLoadMode m) { return l.Settings().levels[static_cast<std::size_t>(m)]; };
  return {
      {{"REM"}, [](L l) { return l.Settings().remote; }},
      {{"MODE CR"}, [](L l) { return l.Settings().mode == SimLoadMode::CR; }},
      {{"MODE CP", "CP:HIGH 12.5", "CP:LOW 2"},
       [&](L l) { return lv(l, SimLoadMode::CP).high == 12.5 && lv(l, SimLoadMode::CP).low == 2; }},
      {{"CC:HIGH 1", "CC:LOW 0.5"},
       [&](L l) { return lv(l, SimLoadMode::CC).high == 1 && lv(l, SimLoadMode::CC).low == 0.5; }},
      {{"CR:LOW 20", "CR:HIGH 20"}, [&](L l) { return lv(l, SimLoadMode::CR).high == 20; }},
      {{"CV:HIGH 3.3", "CV:LOW 3.1"}, [&](L l) { return lv(l, SimLoadMode::CV).low == 3.1; }},
      {{"PERD:HIGH 10", "PERD:LOW 20", "RISE 100", "FALL 50"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return s.periodHighMs == 10 && s.periodLowMs == 20 && s.rise == 100 && s.fall == 50;
       }},
      {{"LOAD ON"}, [](L l) { return l.InputOn(); }},
      {{"LOAD ON", "LOAD OFF"}, [](L l) { return !l.InputOn(); }},
      {{"SHORT ON"}, [](L l) { return l.ShortOn(); }},
      {{"SHORT ON", "SHORT OFF"}, [](L l) { return !l.ShortOn(); }},
      {{"DYN ON"}, [](L l) { return l.DynamicOn(); }},
      {{"DYN ON", "DYN OFF"}, [](L l) { return !l.DynamicOn(); }},
      {{"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6", "IH 10", "IL 3",
        "NGENABLE ON"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return s.testConfig == SimSweepKind::Ocp && s.ocp.step == 0.1 && s.ocp.stop == 10 &&
                s.vth == 0.6 && s.ih == 10 && s.il == 3 && s.ngEnable;
       }},
      {{"TCONFIG OPP", "OPP:START 1", "OPP:STEP 2", "OPP:STOP 30", "WH 25", "WL 15"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return s.testConfig == SimSweepKind::Opp && s.opp.start == 1 && s.opp.stop == 30 &&
                s.wh == 25 && s.wl == 15;
       }},
      {{"TCONFIG OCP", "OCP:START 0", "OCP:STEP 1", "OCP:STOP 3", "START"},
       [](L l) { return l.Program() == SimProgram::Ocp; }},
      {{"TCONFIG OCP", "OCP:STOP 3", "OCP:STEP 1", "START", "STOP"},
       [](L l) { return !l.Testing() && !l.InputOn(); }},
      {{"MODE CC", "CC:HIGH 1", "LIM:ADDCV:VOLT 3.6", "LIM:ADDCV ON"},
       [](L l) { return l.Settings().addCv && l.Settings().addCvVolt == 3.6; }},
      {{"BATT:CURR 1", "BATT:UVP 10.5", "BATT:TIME 3600", "BATT:AH 2"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return !s.batteryByPower && s.batteryCurrent == 1 && s.batteryUvp == 10.5 &&
                s.batteryTimeS == 3600 && s.batteryAh == 2;
       }},
      {{"BATT:POWER 5", "BATT:WH 1"},
       [](L l) { return l.Settings().batteryByPower && l.Settings().batteryWh == 1; }},
      {{"BATT:TEST ON"}, [](L l) { return l.BatteryTestArmed() && !l.Testing(); }},
      {{"BATT:CURR 1", "BATT:TEST ON", "LOAD ON"},
       [](L l) { return l.Program() == SimProgram::BatteryTest; }},
      {{"CC R2", "BATT:STEP 2", "BATT:CC0 1", "BATT:CC1 2", "BATT:DTIME1 5", "BATT:CC2 3",
        "BATT:DTIME2 5", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT 1"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return s.ccRange == 2 && s.rampSteps == 2 && s.rampCurrent[0] == 1 &&
                s.rampCurrent[2] == 3 && s.rampTimeS[2] == 5 && s.loadOffV == 10.5 && s.repeat == 1;
       }},
      {{"BATT:STEP 1", "BATT:CC0 0.1", "BATT:CC1 0.2", "BATT:DTIME1 5", "BATT:RAMP:CC ON"},
       [](L l) { return l.Program() == SimProgram::Ramp && l.InputOn(); }},
      {{"BATT:CCH1 2", "BATT:CCL1 0.5", "BATT:TH1 10", "BATT:TL1 10", "BATT:CYCLE 3", "BATT:CCH2 1",
        "BATT:CCL2 0", "BATT:TH2 5", "BATT:TL2 5", "BATT:CYCLE 1"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return s.cycleRows == 2 && s.cycle[0].highA == 2 && s.cycle[0].cycles == 3 &&
                s.cycle[1].lowS == 5 && s.cycle[1].cycles == 1;
       }},
      {{"BATT:CCH1 0.1", "BATT:CCL1 0", "BATT:TH1 1", "BATT:TL1 1", "BATT:CYCLE 2", "BATT:DYN ON"},
       [](L l) { return l.Program() == SimProgram::CycleLife; }},
      {{"SEQLD:TEST OFF", "REM", "SEQLD:TYPE CP", "SEQLD:TOTSTEP 2", "SEQLD:CP0 5",
        "SEQLD:TIME0 100", "SEQLD:CP1 10", "SEQLD:TIME1 200", "VTH 2.5"},
       [](L l) {
         const SimSettings& s = l.Settings();
         return s.sequenceType == SimSequenceType::CP && s.sequenceSteps == 2 &&
                s.sequenceCp[1] == 10 && s.sequenceTimeMs[1] == 200 && s.vth == 2.5;
       }},
      {{"SEQLD:TYPE CC", "SEQLD:TOTSTEP 1", "SEQLD:CC0 1", "SEQLD:TIME0 500", "SEQLD:TEST ON"},
       [](L l) { return l.Program() == SimProgram::Sequence; }},
      {{"SEQLD:TOTSTEP 1", "SEQLD:CC0 1", "SEQLD:TIME0 500", "SEQLD:TEST ON", "SEQLD:TEST OFF"},
       [](L l) { return !l.Testing() && !l.InputOn(); }},
  };
}

TEST(SimProtocol, EveryBuilderLineIsAcceptedAndTakesEffect) {
  int caseNo = 0;
  for (const BuilderLine& c : BuilderLines()) {
    SimulatedLoad load;
    for (const std::string& line : c.lines) {
      EXPECT_FALSE(load.HandleLine(line, 0).has_value()) << line;
    }
    EXPECT_EQ(load.ErrorCount(), 0) << "case " << caseNo << ": " << c.lines.front();
    for (const SimError& e : load.Errors()) {
      ADD_FAILURE() << e.line << ": " << e.reason;
    }
    EXPECT_TRUE(c.holds(load)) << "case " << caseNo << ": " << c.lines.front();
    ++caseNo;
  }
}

TEST(SimProtocol, QueriesAnswerInTheFormsTheProgramReads) {
  SimulatedLoad load;
  EXPECT_EQ(load.HandleLine("name?", 0), std::string(kSimDefaultModel));
  EXPECT_THAT(load.HandleLine("MEAS:VC?", 0).value_or(""),
              ::testing::MatchesRegex("[0-9]+\\.[0-9]{4},[0-9]+\\.[0-9]{4}"));
  EXPECT_EQ(load.HandleLine("MEAS:VC?", 0), "4.2000,0.0000");
  EXPECT_EQ(load.HandleLine("TESTING?", 0), "0");
  EXPECT_EQ(load.HandleLine("NG?", 0), "0");
  EXPECT_EQ(load.HandleLine("OCP?", 0), "0.0000");
  EXPECT_EQ(load.HandleLine("OPP?", 0), "0.0000");
  EXPECT_EQ(load.HandleLine("BATT:RVOLT?", 0), "0.0000");
  EXPECT_EQ(load.ErrorCount(), 0);
}

// The default model text must offer every function under the availability
// rules the program applies to it.
TEST(SimProtocol, DefaultModelOffersAllFunctions) {
  const std::string m(kSimDefaultModel);
  const auto has = [&](const char* s) { return m.find(s) != std::string::npos; };
  EXPECT_FALSE(has("ErrRec"));
  EXPECT_TRUE(has("G"));    // battery-capable, Sequence Load, RAMP
  EXPECT_FALSE(has("Q7"));  // RAMP and Sequence Load
  EXPECT_FALSE(has("F"));   // battery discharge and cycle life
}

TEST(SimProtocol, ModelTextIsSettable) {
  SimLoadConfig config;
  config.modelText = "LOAD 300F";
  SimulatedLoad load(config);
  EXPECT_EQ(load.HandleLine("name?", 0), "LOAD 300F");
  load.SetModelText("OTHER");
  EXPECT_EQ(load.HandleLine("name?", 0), "OTHER");
}

struct Rejected {
  const char* line;
  const char* reason;
};

TEST(SimProtocol, LinesItCannotReadAreRejectedCountedAndChangeNothing) {
  const Rejected cases[] = {
      {"FOO", "unknown command"},
      {"load on", "unknown command"},  // the load's language is case-sensitive
      {"IDN?", "unknown query"},
      {"", "empty line"},
      {"LOAD", "missing value"},
      {"LOAD ", "missing value"},
      {"LOAD ON ", "bad value"},
      {"LOAD MAYBE", "bad value"},
      {"VTH ", "missing value"},
      {"CC:HIGH abc", "bad value"},
      {"CC:HIGH 12V", "bad value"},
      {"CC:HIGH  1", "bad value"},
      {"CC:HIGH 1,5", "bad value"},
      {"CC:HIGH inf", "bad value"},
      {"CC:HIGH -1", "value out of range"},
      {"CR:HIGH 0", "value out of range"},
      {"MODE XX", "bad value"},
      {"XX:HIGH 1", "unknown command"},
      {"REM 1", "unexpected value"},
      {"START", "START with no test configured (TCONFIG)"},
      {"BATT:STEP 12", "value out of range"},
      {"BATT:STEP 1.5", "bad value"},
      {"BATT:CC10 1", "step number out of range"},
      {"BATT:DTIME0 5", "step number out of range"},
      {"BATT:CCH4 1", "cycle row out of range"},
      {"SEQLD:CC16 1", "sequence step out of range"},
      {"SEQLD:TYPE CR", "bad value"},
      {"BATT:CC 1", "unknown command"},
      {"TCONFIG OVP", "bad value"},
  };
  SimulatedLoad load;
  int n = 0;
  for (const Rejected& c : cases) {
    EXPECT_FALSE(load.HandleLine(c.line, n).has_value()) << c.line;
    ++n;
    ASSERT_EQ(load.ErrorCount(), n) << c.line;
    EXPECT_EQ(load.Errors().back().line, c.line);
    EXPECT_EQ(load.Errors().back().reason, c.reason) << c.line;
  }
  // Nothing of the above took effect.
  EXPECT_FALSE(load.InputOn());
  EXPECT_EQ(load.Settings().levels[0].high, 0.0);
  EXPECT_EQ(load.Settings().rampSteps, 0);
  EXPECT_EQ(load.Settings().mode, SimLoadMode::CC);
  EXPECT_EQ(load.LineCount(), n);
}

TEST(SimProtocol, NumbersAreReadInEveryFormTheProgramWrites) {
  for (const char* text : {"10", "10.5", "0.5", ".5", "5.", "1E-05", "1.5E+15", "1e3", "+2"}) {
    EXPECT_TRUE(ParseSimNumber(text).has_value()) << text;
  }
  for (const char* text : {"", ".", "-", "E5", "1E", "0x10", "nan", " 1", "1 ", "1.2.3"}) {
    EXPECT_FALSE(ParseSimNumber(text).has_value()) << text;
  }
  EXPECT_DOUBLE_EQ(*ParseSimNumber("1E-05"), 1e-5);
  EXPECT_EQ(FormatSimReading(12.34564), "12.3456");
  EXPECT_EQ(FormatSimReading(-0.00001), "0.0000");
}

TEST(SimProtocol, LogHoldsEveryLineWithItsTimeAndTheReplies) {
  SimulatedLoad load;
  std::vector<std::string> streamed;
  load.SetLogListener([&](const SimLogEntry& e) { streamed.push_back(FormatSimLogEntry(e)); });
  load.HandleLine("REM", 0);
  load.HandleLine("name?", 1500);
  load.HandleLine("BOGUS", 61234);
  EXPECT_THAT(load.ReceivedLines(), ElementsAre("REM", "name?", "BOGUS"));
  ASSERT_EQ(load.Log().size(), 5u);
  EXPECT_EQ(load.Log()[1].ms, 1500);
  EXPECT_THAT(streamed,
              ElementsAre("0.000\tRX\tREM", "1.500\tRX\tname?", "1.500\tTX\tKVLOAD-SIM 100G",
                          "61.234\tRX\tBOGUS", "61.234\tERR\tunknown command: BOGUS"));
}

TEST(SimProtocol, TimeNeverRunsBackwards) {
  SimulatedLoad load;
  load.HandleLine("REM", 5000);
  load.HandleLine("REM", 1000);
  EXPECT_EQ(load.NowMs(), 5000);
  EXPECT_EQ(load.Log().back().ms, 5000);
}

}  // namespace
}  // namespace kv
