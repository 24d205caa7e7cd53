// Voltage, ampere-hour and time stops, and what each sends to the load.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

void AddDischarge(RunnerBench& b, const std::string& vstop, const std::string& ahstop) {
  b.AddStep("Discharge", {{kColMode, "CC"},
                          {kColSinkValue, "1.8"},
                          {kColVStop, vstop},
                          {kColTStop, "100"},
                          {kColAhStop, ahstop}});
}

TEST(RunnerStops, VoltageStopEndsBelowTheLimitOnly) {
  struct Case {
    const char* reply;
    bool ends;
  };
  // No measurement (a lost link's "ErrRec", a reply without two numbers)
  // says nothing about the voltage and ends nothing.
  for (const Case c : {Case{"9.99,1.8", true}, Case{"10,1.8", false}, Case{"10.000,1.8", false},
                       Case{" 9,1.8", true}, Case{"ErrRec", false}, Case{"", false},
                       Case{"abc,1.8", false}, Case{"9.99,abc", false}, Case{"9.99", false}}) {
    SCOPED_TRACE(c.reply);
    RunnerBench b;
    AddDischarge(b, "10", "0");
    b.AddStep("Rest", {{kColTStop, "5"}});
    b.link.Reply("MEAS:VC?", c.reply);
    b.Run();
    b.Tick();
    // A voltage stop sends nothing by itself.
    EXPECT_THAT(b.TakeLines(), ElementsAre("MODE CC", "CC:HIGH 1.8", "LOAD ON", "MEAS:VC?"));
    EXPECT_EQ(b.state.currentRow, c.ends ? 2 : 1);
    EXPECT_EQ(b.log.RowCount(), 1u);
    b.Tick();
    EXPECT_EQ(b.Cell(1, 8), c.ends ? "Rest" : "Discharge");
  }
}

// Over every transport: a tick without a measurement keeps its row (the gap
// shows), adds nothing to Ah/Wh and keeps the time stop; the third in a row
// reports the link lost, once.
TEST(RunnerStops, MissingMeasurementsAddNothingAndThreeInARowLoseTheLink) {
  for (const std::int16_t mode : {kModeSerial, kModeGpib, kModeLan}) {
    SCOPED_TRACE(mode);
    RunnerBench b(mode);
    AddDischarge(b, "10", "0");
    b.AddStep("Rest", {{kColTStop, "9"}});
    b.link.ReplySequence("MEAS:VC?",
                         {"12,1.8", "ErrRec", "12,1.8", "x,1.8", "junk", "\r", "", "12,1.8"});
    b.Run();
    for (int i = 0; i < 8; ++i) {
      b.Tick();
    }
    std::vector<std::string> ah;
    for (std::size_t i = 0; i < b.log.RowCount(); ++i) {
      ah.push_back(b.Cell(i, 5));
    }
    EXPECT_THAT(
        ah, ElementsAre("0.0005", "0.0005", "0.001", "0.001", "0.001", "0.001", "0.001", "0.0015"));
    EXPECT_EQ(b.Cell(1, 2), mode == kModeLan ? "0" : "");
    EXPECT_EQ(b.Cell(3, 2), "x");
    EXPECT_EQ(b.state.currentRow, 1);
    EXPECT_EQ(b.state.missedMeasurementsInRow, 0);
    EXPECT_EQ(b.observer.Texts("lost").size(), 1u);
    // Lost again after a good one: said again.
    b.link.Reply("MEAS:VC?", "ErrRec");
    for (int i = 0; i < 3; ++i) {
      b.Tick();
    }
    EXPECT_EQ(b.observer.Texts("lost").size(), 2u);
    // The time stop still ends the step.
    b.RunToEnd(95);
    EXPECT_EQ(b.Cell(99, 8), "Discharge");
    EXPECT_EQ(b.Cell(100, 8), "Rest");
  }
}

TEST(RunnerStops, VoltageAndAhStopTogetherEndTheStepOnce) {
  RunnerBench b;
  AddDischarge(b, "10", "0.0001");
  b.AddStep("Rest", {{kColTStop, "5"}});
  b.AddStep("Short", {{kColTStop, "5"}});
  b.link.Reply("MEAS:VC?", "9,1.8");
  b.Run();
  b.Tick();
  EXPECT_EQ(b.state.currentRow, 2);
  b.Tick();
  EXPECT_EQ(b.Cell(1, 8), "Rest");
}

TEST(RunnerStops, EveryStepRunsUnderItsOwnLimitsOnly) {
  RunnerBench b;
  AddDischarge(b, "10", "0.001");
  b.AddStep("Short", {{kColTStop, "3"}});
  b.AddStep("Dynamic", {{kColMode, "CV"}, {kColTStop, "2"}});
  b.link.ReplySequence("MEAS:VC?", {"12,1.8", "12,1.8", "5,1.8"});
  b.Run();
  b.RunToEnd();
  // The Discharge limits (10 V, 0.001 Ah) do not end the Short or Dynamic
  // steps: each runs its full time.
  EXPECT_EQ(b.log.RowCount(), 2u + 3u + 2u);
  EXPECT_EQ(b.Cell(2, 8), "Short");
  EXPECT_EQ(b.Cell(4, 8), "Short");
  EXPECT_EQ(b.Cell(6, 8), "Dynamic");
}

TEST(RunnerStops, TwoNormalStepsKeepTheLoadOn) {
  RunnerBench b;
  b.AddStep("Normal", {{kColMode, "CR"}, {kColSinkValue, "20"}, {kColTStop, "1"}});
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "2"}, {kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.Run();
  b.Tick();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("MODE CR", "CR:LOW 20", "CR:HIGH 20", "LOAD ON", "MEAS:VC?",  //
                          "MEAS:VC?", "MODE CC", "CC:HIGH 2", "CC:LOW 2", "LOAD ON", "MEAS:VC?"));
}

TEST(RunnerStops, NormalThenRestSendsLoadOffTwice) {
  RunnerBench b;
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "2"}, {kColTStop, "1"}});
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.Run();
  b.Tick();
  b.TakeLines();
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "LOAD OFF", "LOAD OFF", "MEAS:VC?"));
}

TEST(RunnerStops, ShortEndsWithShortOffOnly) {
  RunnerBench b;
  b.AddStep("Short", {{kColTStop, "2"}});
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "0.1,30");
  b.Run();
  b.Tick();
  b.Tick();
  b.TakeLines();
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "SHORT OFF", "LOAD OFF", "MEAS:VC?"));
}

TEST(RunnerStops, LastTimedStepSendsLoadOffTwiceThenFinishes) {
  RunnerBench b;
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "2"}, {kColTStop, "2"}});
  b.link.Reply("MEAS:VC?", "12,2");
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 3);
  EXPECT_THAT(b.TakeLines(), ElementsAre("MODE CC", "CC:HIGH 2", "CC:LOW 2", "LOAD ON", "MEAS:VC?",
                                         "MEAS:VC?", "MEAS:VC?", "LOAD OFF", "LOAD OFF"));
  EXPECT_THAT(b.observer.Texts("message"), ElementsAre("Test Finished"));
  EXPECT_EQ(b.observer.events.back(), (Event{"message", "Test Finished"}));
  EXPECT_EQ(b.intervals.back(), -1);
}

TEST(RunnerStops, BudgetBelowTheTickDurationGivesShortInterval) {
  RunnerBench b;
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "2"}, {kColTStop, "1.5"}});
  b.link.Reply("MEAS:VC?", "12,2");
  b.link.OnRead([&](std::string_view) { b.clock.AdvanceMs(600); });
  b.Run();
  b.RunToEnd();
  // 1.5 s left: 1000 - 600 ms. Then 0.5 s left, less than the 0.6 s the tick
  // took: hurry. Then the time stop.
  EXPECT_THAT(b.intervals, ElementsAre(400, 50, -1));
  EXPECT_EQ(b.log.RowCount(), 2u);
}

TEST(RunnerStops, DynamicOffEndsInTheTickItStarts) {
  RunnerBench b;
  b.AddStep("Dynamic Off");
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "12,0");
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("DYN OFF", "MEAS:VC?", "LOAD OFF", "LOAD OFF", "MEAS:VC?"));
  EXPECT_EQ(b.log.RowCount(), 1u);
  EXPECT_EQ(b.Cell(0, 8), "Rest");
}

// Time stops beyond the fixed-point range (found by fuzzing): the budget
// saturates, so a huge one never wraps into an immediate stop and a hugely
// negative one left by a voltage stop does not overflow as the tick counts it.
TEST(RunnerStops, TimeStopsOutOfRangeSaturate) {
  struct Case {
    const char* function;
    const char* tStop;
    const char* vStop;
    int rowAfterThreeTicks;
  };
  const Case cases[] = {
      {"Battery Discharge CC", "99999999999999e99", "", 1},
      {"Battery Discharge CP", "1E30", "", 1},
      {"Discharge", "-9E99", "5", 2},
  };
  for (const Case& c : cases) {
    RunnerBench b;
    b.AddStep(c.function,
              {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, c.tStop}, {kColVStop, c.vStop}});
    b.AddStep("Rest", {{kColTStop, "100"}});
    b.link.Reply("MEAS:VC?", "4.0,1.0");
    b.link.Reply("TESTING?", "1");
    b.Run();
    for (int i = 0; i < 3; ++i) {
      b.Tick();
    }
    EXPECT_EQ(b.state.currentRow, c.rowAfterThreeTicks) << c.function << " " << c.tStop;
  }
}

}  // namespace
}  // namespace kv::test
