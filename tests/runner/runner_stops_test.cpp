// Voltage, ampere-hour and time stops.

#include "results/result_columns.h"
#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

Step Discharge(const std::string& vstop, const std::string& ahstop) {
  return {"Discharge",
          {{kColMode, "CC"},
           {kColSinkValue, "1.8"},
           {kColVStop, vstop},
           {kColTStop, "100"},
           {kColAhStop, ahstop}}};
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
    b.Load({Discharge("10", "0"), {"Rest", {{kColTStop, "5"}}}}, {{"MEAS:VC?", {c.reply}}});
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
    b.Load({Discharge("10", "0"), {"Rest", {{kColTStop, "9"}}}},
           {{"MEAS:VC?", {"12,1.8", "ErrRec", "12,1.8", "x,1.8", "junk", "\r", "", "12,1.8"}}});
    b.Run();
    b.Ticks(8);
    EXPECT_THAT(b.Column(kResAh), ElementsAre("0.0005", "0.0005", "0.001", "0.001", "0.001",
                                              "0.001", "0.001", "0.0015"));
    EXPECT_THAT(b.Column(kResVoltage), ElementsAre("12", "", "12", "", "", "", "", "12"));
    EXPECT_THAT(b.Column(kResPower), ElementsAre("21.6", "", "21.6", "", "", "", "", "21.6"));
    EXPECT_EQ(b.state.currentRow, 1);
    EXPECT_EQ(b.observer.Texts("lost").size(), 1u);
    // Lost again after a good one: said again.
    b.link.Reply("MEAS:VC?", "ErrRec");
    b.Ticks(3);
    EXPECT_EQ(b.observer.Texts("lost").size(), 2u);
    // The time stop still ends the step.
    b.RunToEnd(95);
    EXPECT_EQ(b.Cell(99, 8), "Discharge");
    EXPECT_EQ(b.Cell(100, 8), "Rest");
  }
}

// The Discharge limits (10 V, 0.001 Ah) do not end the Short or Dynamic
// steps after it: each runs its full time.
TEST(RunnerStops, EveryStepRunsUnderItsOwnLimitsOnly) {
  RunnerBench b;
  b.Load({Discharge("10", "0.001"),
          {"Short", {{kColTStop, "3"}}},
          {"Dynamic", {{kColMode, "CV"}, {kColTStop, "2"}}}},
         {{"MEAS:VC?", {"12,1.8", "12,1.8", "5,1.8"}}});
  b.Run();
  b.RunToEnd();
  EXPECT_THAT(b.Column(8), ElementsAre("Discharge", "Discharge", "Short", "Short", "Short",
                                       "Dynamic", "Dynamic"));
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
    SCOPED_TRACE(std::string(c.function) + " " + c.tStop);
    RunnerBench b;
    b.Load({{c.function,
             {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, c.tStop}, {kColVStop, c.vStop}}},
            {"Rest", {{kColTStop, "100"}}}},
           {{"MEAS:VC?", {"4.0,1.0"}}, {"TESTING?", {"1"}}});
    b.Run();
    b.Ticks(3);
    EXPECT_EQ(b.state.currentRow, c.rowAfterThreeTicks);
  }
}

}  // namespace
}  // namespace kv::test
