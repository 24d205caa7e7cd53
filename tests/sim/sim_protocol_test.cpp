#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_values.h"
#include "sim/simulated_load.h"

namespace kv {
namespace {

using ::testing::ElementsAre;

struct Rejected {
  const char* line;
  const char* reason;
};

// Whether every builder line is accepted shows when the example lists run
// every function; levels, timing, test limits and the kinds of test show in
// the electrical tests. What is left: the settings the load only keeps, and
// lines it cannot read, which are rejected, counted and change nothing.
TEST(SimProtocol, KeepsWhatItReadsAndRejectsTheRest) {
  const Rejected cases[] = {
      {"load on", "unknown command"},  // the load's language is case-sensitive
      {"IDN?", "unknown query"},
      {"", "empty line"},
      {"LOAD", "missing value"},
      {"LOAD ", "missing value"},
      {"LOAD ON ", "bad value"},
      {"VTH ", "missing value"},
      {"CC:HIGH 12V", "bad value"},
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
  for (const char* line :
       {"REM", "RISE 100", "FALL 50", "CC R2", "SEQLD:TYPE CP", "SEQLD:CP1 10", "WL 15"}) {
    load.HandleLine(line, 0);
  }
  ASSERT_EQ(load.ErrorCount(), 0);
  int n = 0;
  for (const Rejected& c : cases) {
    EXPECT_FALSE(load.HandleLine(c.line, n).has_value()) << c.line;
    ++n;
    ASSERT_EQ(load.ErrorCount(), n) << c.line;
    EXPECT_EQ(load.Errors().back().line, c.line);
    EXPECT_EQ(load.Errors().back().reason, c.reason) << c.line;
  }
  const SimSettings& s = load.Settings();
  EXPECT_TRUE(s.remote);
  EXPECT_EQ(s.rise, 100);
  EXPECT_EQ(s.fall, 50);
  EXPECT_EQ(s.ccRange, 2);
  EXPECT_EQ(s.sequenceType, SimSequenceType::CP);
  EXPECT_EQ(s.sequenceCp[1], 10);
  EXPECT_EQ(s.wl, 15);
  EXPECT_FALSE(load.InputOn());
  EXPECT_EQ(s.levels[0].high, 0.0);
  EXPECT_EQ(s.rampSteps, 0);
  EXPECT_EQ(s.mode, SimLoadMode::CC);
  EXPECT_EQ(load.LineCount(), n + 7);
}

TEST(SimProtocol, NumbersAreReadInEveryFormTheProgramWrites) {
  for (const char* text : {"10", "10.5", "0.5", ".5", "5.", "1E-05", "1.5E+15", "1e3", "+2"}) {
    EXPECT_TRUE(ParseSimNumber(text).has_value()) << text;
  }
  for (const char* text :
       {"", ".", "-", "E5", "1E", "0x10", "nan", "inf", " 1", "1 ", "1.2.3", "12V", "1,5"}) {
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
  load.HandleLine("REM", 1000);  // time never runs backwards
  EXPECT_THAT(load.ReceivedLines(), ElementsAre("REM", "name?", "BOGUS", "REM"));
  ASSERT_EQ(load.Log().size(), 6u);
  EXPECT_EQ(load.Log()[1].ms, 1500);
  EXPECT_THAT(streamed, ElementsAre("0.000\tRX\tREM", "1.500\tRX\tname?",
                                    "1.500\tTX\tKVLOAD-SIM 100G", "61.234\tRX\tBOGUS",
                                    "61.234\tERR\tunknown command: BOGUS", "61.234\tRX\tREM"));
}

}  // namespace
}  // namespace kv
