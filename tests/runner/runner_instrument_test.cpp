// Steps the load runs by itself (OCP, OPP, Battery RAMP, Cycle Life, Sequence
// Load, Battery Discharge) and steps that cannot run on the connected model.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

void AddOcp(RunnerBench& b, const std::string& function, const std::string& low,
            const std::string& high) {
  b.AddStep(function, {{kColStart, "1"},
                       {kColStep, "5"},
                       {kColStop, "0.1"},
                       {kColVth, "2"},
                       {kColLimitHigh, high},
                       {kColLimitLow, low}});
}

TEST(RunnerInstrument, OcpGoesThroughTestingNgTripAndStop) {
  RunnerBench b;
  AddOcp(b, "OCP", "3", "4.5");
  b.link.Reply("MEAS:VC?", "12,3.1");
  b.link.ReplySequence("TESTING?", {"1", "0"});
  b.link.Reply("NG?", "0");
  b.link.Reply("OCP?", "3.8");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("TCONFIG OCP", "OCP:START 1", "OCP:STEP 0.1", "OCP:STOP 5", "VTH 2",
                          "IH 4.5", "IL 3", "NGENABLE ON", "START", "MEAS:VC?", "TESTING?"));
  EXPECT_EQ(b.intervals.back(), 1000);
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "TESTING?", "NG?", "OCP?", "STOP"));
  ASSERT_EQ(b.log.RowCount(), 3u);
  EXPECT_THAT(b.Row(1), ElementsAre("2", "10:00:01", "", "3.8", "", "", "", "2026/12/06 10:00:01",
                                    "OCP", "PASS"));
  EXPECT_THAT(b.Row(2), ElementsAre("3", "10:00:01", "12", "3.1", "37.2", "0.00172222",
                                    "0.02066666", "2026/12/06 10:00:01", "OCP", ""));
  EXPECT_EQ(b.RunToEnd(), 1);
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF"));
}

TEST(RunnerInstrument, OcpAndOppVerdictsAreNumeric) {
  struct Case {
    const char* function;
    const char* low;
    const char* high;
    const char* trip;
    const char* verdict;
  };
  const Case cases[] = {
      {"OCP", "3", "4.5", "3.8", "PASS"},     {"OCP", "3", "4.5", "4.6", "FAIL"},
      {"OCP", "3", "4.5", "2.99", "FAIL"},    {"OCP", "3", "4.5", "3", "PASS"},
      {"OCP", "3", "4.5", "4.5", "PASS"},     {"OCP", "9.5", "10.5", "10", "PASS"},
      {"OPP", "9.5", "10.5", "9.75", "PASS"}, {"OPP", "20", "40", "100", "FAIL"},
      {"OPP", "20", "40", "ErrRec", "FAIL"},  {"OCP", "0", "4.5", "ErrRec", "FAIL"},
      {"OCP", "0", "4.5", "", "FAIL"},        {"OCP", "-1", "4.5", " 0", "PASS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " " + c.trip);
    RunnerBench b;
    AddOcp(b, c.function, c.low, c.high);
    b.link.Reply("MEAS:VC?", "12,1");
    b.link.Reply("TESTING?", "0");
    b.link.Reply("NG?", "1");
    b.link.Reply(std::string(c.function) + "?", c.trip);
    b.Run();
    b.Tick();
    ASSERT_EQ(b.log.RowCount(), 2u);
    const bool ocp = std::string(c.function) == "OCP";
    EXPECT_EQ(b.Cell(0, 3), ocp ? c.trip : "");
    EXPECT_EQ(b.Cell(0, 4), ocp ? "" : c.trip);
    EXPECT_EQ(b.Cell(0, 8), c.function);
    EXPECT_EQ(b.Cell(0, 9), c.verdict);
  }
}

TEST(RunnerInstrument, OcpWaitsWhileNgAnswersNeitherZeroNorOne) {
  RunnerBench b;
  AddOcp(b, "OCP", "3", "4.5");
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.Reply("TESTING?", "0");
  const std::vector<std::string> waits = {"2", "0.5", "-1", "1.0001", "-0.5"};
  b.link.ReplySequence("NG?", Concat({waits, {""}}));
  b.link.Reply("OCP?", "4");
  b.Run();
  for (const std::string& ng : waits) {
    SCOPED_TRACE(ng);
    b.Tick();
    const std::vector<std::string> lines = b.TakeLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "NG?");
  }
  // An empty reply reads as 0: the verdict is there.
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "TESTING?", "NG?", "OCP?", "STOP"));
  EXPECT_EQ(b.log.RowCount(), 2u + waits.size());
}

TEST(RunnerInstrument, OcpHasNoTimeStop) {
  RunnerBench b;
  AddOcp(b, "OCP", "3", "4.5");
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.Reply("TESTING?", "1");
  b.Run();
  for (int i = 0; i < 30; ++i) {
    b.Tick();
  }
  EXPECT_EQ(b.state.currentRow, 1);
  EXPECT_EQ(b.log.RowCount(), 30u);
  EXPECT_EQ(b.intervals, std::vector<int>(30, 1000));
}

void AddRamp(RunnerBench& b) {
  b.AddStep("Battery RAMP", {{kColSinkValue, "1"},
                             {kColTotalStep, "2"},
                             {kColRampCc, ";2;3"},
                             {kColRampTime, ";5;5"},
                             {kColLoadOffV, "10.5"},
                             {kColTimes, "1"}});
}

TEST(RunnerInstrument, BatteryRampRunsUntilTheLoadEndsItsTest) {
  RunnerBench b;
  AddRamp(b);
  b.link.Reply("MEAS:VC?", "11,2");
  b.link.ReplySequence("TESTING?", {"1", "1", "1", "0"});
  b.link.Reply("BATT:RVOLT?", "9.5");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("CC R2", "BATT:STEP 2", "BATT:CC0 1", "BATT:CC1 2", "BATT:DTIME1 5",
                          "BATT:CC2 3", "BATT:DTIME2 5", "LDOFFV 10.5", "BATT:UVP 10.5",
                          "BATT:REPEAT 1", "BATT:RAMP:CC ON", "MEAS:VC?", "TESTING?"));
  b.Tick();
  b.Tick();
  b.TakeLines();
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "TESTING?", "BATT:RVOLT?"));
  ASSERT_EQ(b.log.RowCount(), 5u);
  // 9.5 is below 10.5 as a number, though not as a text.
  EXPECT_THAT(b.Row(3), ElementsAre("4", "10:00:03", "9.5", "", "", "", "", "2026/12/06 10:00:03",
                                    "Battery RAMP", "PASS"));
  EXPECT_EQ(b.Cell(4, 9), "");
  EXPECT_EQ(b.Cell(4, 5), "0.00222224");
}

TEST(RunnerInstrument, BatteryRampFailKeepsTheWholeReply) {
  // A lost link answers "ErrRec" (or nothing): no reading, no PASS.
  struct Case {
    const char* reply;
    const char* cell;
  };
  for (const Case c : {Case{"10.5", "10.5"}, Case{"11.25", "11.25"}, Case{"ErrRec", "ErrRec"},
                       Case{"", ""}, Case{"11\r\n", "11  "}}) {
    SCOPED_TRACE(c.reply);
    RunnerBench b;
    AddRamp(b);
    b.link.Reply("MEAS:VC?", "11,2");
    b.link.Reply("TESTING?", "0");
    b.link.Reply("BATT:RVOLT?", c.reply);
    b.Run();
    b.Tick();
    EXPECT_EQ(b.Cell(0, 2), c.cell);
    EXPECT_EQ(b.Cell(0, 9), "FAIL");
  }
}

TEST(RunnerInstrument, CycleLifeEndsByItsCompletionCheck) {
  RunnerBench b;
  b.AddStep("Battery Cycle Life", {{kColHigh, ";1;2"},
                                   {kColLow, ";0.5;0.6"},
                                   {kColTHigh, ";1;1"},
                                   {kColTLow, ";2;2"},
                                   {kColCycleCount, ";3;4"},
                                   {kColLoadOffV, "9"},
                                   {kColTimes, "2"}});
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "11,2");
  b.link.ReplySequence("TESTING?", {"1", "0"});
  b.link.Reply("BATT:RVOLT?", "8.9");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("BATT:CCH1 1", "BATT:CCL1 0.5", "BATT:TH1 1", "BATT:TL1 2",
                          "BATT:CYCLE 3", "BATT:CCH2 2", "BATT:CCL2 0.6", "BATT:TH2 1",
                          "BATT:TL2 2", "BATT:CYCLE 4", "LDOFFV 9", "BATT:UVP 9", "BATT:REPEAT 2",
                          "BATT:DYN ON", "MEAS:VC?", "TESTING?"));
  b.Tick();
  EXPECT_EQ(b.Cell(1, 8), "Battery Cycle Life");
  EXPECT_EQ(b.Cell(1, 2), "8.9");
  EXPECT_EQ(b.Cell(1, 9), "PASS");
  b.Tick();
  EXPECT_EQ(b.Cell(3, 8), "Rest");
}

TEST(RunnerInstrument, SequenceLoadEndsWhenTheLoadStopsTesting) {
  RunnerBench b;
  b.AddStep("Sequence Load", {{kColMode, "CC"},
                              {kColTotalStep, "1"},
                              {kColRampCc, ";2"},
                              {kColRampTime, ";5"},
                              {kColLoadOffV, "3"}});
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "11,2");
  b.link.ReplySequence("TESTING?", {"1", "0"});
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("SEQLD:TEST OFF", "REM", "SEQLD:TYPE CC",
                                         "SEQLD:TOTSTEP 1", "SEQLD:CC0 2", "SEQLD:TIME0 5", "VTH 3",
                                         "SEQLD:TEST ON", "MEAS:VC?", "TESTING?"));
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "TESTING?", "SEQLD:TEST OFF", "MEAS:VC?"));
  EXPECT_EQ(b.log.RowCount(), 2u);
  EXPECT_EQ(b.state.currentRow, 2);
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF", "MEAS:VC?"));
}

TEST(RunnerInstrument, SequenceLoadStillTestingEndsByItsTenSecondBudget) {
  RunnerBench b;
  b.AddStep("Sequence Load", {{kColMode, "CP"}, {kColTotalStep, "0"}});
  b.link.Reply("MEAS:VC?", "11,2");
  b.link.Reply("TESTING?", "1");
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 11);
  EXPECT_EQ(b.log.RowCount(), 10u);
}

TEST(RunnerInstrument, BatteryDischargeTimeStopComesOneTickAfterTheLoads) {
  RunnerBench b;
  b.AddStep("Battery Discharge CC",
            {{kColSinkValue, "2"}, {kColVStop, "10.50"}, {kColTStop, "3"}, {kColAhStop, "2"}});
  b.link.Reply("MEAS:VC?", "12,2");
  b.link.Reply("TESTING?", "0");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("BATT:CURR 2", "BATT:UVP 10.5", "BATT:TIME 3", "BATT:AH 2",
                                         "BATT:TEST ON", "LOAD ON", "MEAS:VC?", "TESTING?"));
  EXPECT_EQ(b.RunToEnd(), 4);
  EXPECT_EQ(b.log.RowCount(), 4u);
  EXPECT_THAT(b.TakeLines(), ElementsAreArray(Concat({Repeat("MEAS:VC?", 1),
                                                      {"TESTING?"},
                                                      {"MEAS:VC?", "TESTING?"},
                                                      {"MEAS:VC?", "TESTING?"},
                                                      {"MEAS:VC?", "LOAD OFF", "LOAD OFF"}})));
}

TEST(RunnerInstrument, BatteryDischargeCpTellsTheLoadItsWattHourLimit) {
  RunnerBench b;
  b.AddStep("Battery Discharge CP",
            {{kColSinkValue, "20"}, {kColVStop, "9"}, {kColTStop, "60.5"}, {kColAhStop, "1.25"}});
  b.link.Reply("MEAS:VC?", "12,2");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("BATT:POWER 20", "BATT:UVP 9", "BATT:TIME 60.5", "BATT:WH 1.25",
                          "BATT:TEST ON", "LOAD ON", "MEAS:VC?", "TESTING?"));
}

TEST(RunnerInstrument, BatteryStepIsSkippedOnAModelWithoutCapitalG) {
  for (const char* model : {"KV-100A", "kv8g-100", "ErrRec", ""}) {
    SCOPED_TRACE(model);
    RunnerBench b;
    b.model = model;
    b.AddStep("Discharge",
              {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}, {kColVStop, "10"}});
    AddRamp(b);
    b.AddStep("Rest", {{kColTStop, "1"}});
    b.link.Reply("MEAS:VC?", "12,1");
    b.Run();
    b.Tick();
    b.TakeLines();
    b.Tick();
    // Nothing of the ramp goes out, and the Rest starts in the same tick.
    EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "LOAD OFF", "LOAD OFF", "MEAS:VC?"));
    EXPECT_THAT(b.observer.Texts("notice"),
                ElementsAre("Step 2 skipped: Battery RAMP is not available on this model"));
    EXPECT_EQ(b.Cell(1, 8), "Rest");
    EXPECT_EQ(b.RunToEnd(), 1);
  }
}

TEST(RunnerInstrument, UnknownFunctionIsSkippedWithANotice) {
  RunnerBench b;
  b.AddStep("Discharg", {{kColTStop, "5"}});
  b.AddStep("");
  b.AddStep("Short", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "0,20");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("SHORT ON", "MEAS:VC?"));
  EXPECT_THAT(
      b.observer.Texts("notice"),
      ElementsAre("Step 1 skipped: unknown function \"Discharg\"", "Step 2 skipped: no function"));
  EXPECT_EQ(b.Cell(0, 8), "Short");
}

}  // namespace
}  // namespace kv::test
