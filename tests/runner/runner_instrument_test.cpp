// Steps the load runs by itself (OCP, OPP, Battery RAMP) and steps that
// cannot run on the connected model.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

Step Ocp(const std::string& function, const std::string& low, const std::string& high) {
  return {function,
          {{kColStart, "1"},
           {kColStep, "5"},
           {kColStop, "0.1"},
           {kColVth, "2"},
           {kColLimitHigh, high},
           {kColLimitLow, low}}};
}

TEST(RunnerInstrument, OcpGoesThroughTestingNgTripAndStop) {
  RunnerBench b;
  b.Load({Ocp("OCP", "3", "4.5")},
         {{"MEAS:VC?", {"12,3.1"}}, {"TESTING?", {"1", "0"}}, {"NG?", {"0"}}, {"OCP?", {"3.8"}}});
  b.Run();
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("TCONFIG OCP", "OCP:START 1", "OCP:STEP 0.1", "OCP:STOP 5", "VTH 2",
                          "IH 4.5", "IL 3", "NGENABLE ON", "START", "MEAS:VC?", "TESTING?"));
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
    b.Load({Ocp(c.function, c.low, c.high)},
           {{"TESTING?", {"0"}}, {"NG?", {"1"}}, {std::string(c.function) + "?", {c.trip}}});
    b.Run();
    b.Tick();
    ASSERT_EQ(b.log.RowCount(), 2u);
    const bool ocp = std::string(c.function) == "OCP";
    EXPECT_EQ(b.Cell(0, 3), ocp ? c.trip : "");
    EXPECT_EQ(b.Cell(0, 4), ocp ? "" : c.trip);
    EXPECT_EQ(b.Cell(0, 9), c.verdict);
  }
}

TEST(RunnerInstrument, OcpWaitsWhileNgAnswersNeitherZeroNorOne) {
  RunnerBench b;
  const Lines waits = {"2", "0.5", "-1", "1.0001", "-0.5"};
  Lines ng = waits;
  ng.push_back("");
  b.Load({Ocp("OCP", "3", "4.5")}, {{"TESTING?", {"0"}}, {"NG?", ng}, {"OCP?", {"4"}}});
  b.Run();
  for (const std::string& reply : waits) {
    SCOPED_TRACE(reply);
    b.Tick();
    const Lines lines = b.TakeLines();
    EXPECT_EQ(lines.empty() ? "" : lines.back(), "NG?");
  }
  // An empty reply reads as 0: the verdict is there.
  b.Tick();
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "TESTING?", "NG?", "OCP?", "STOP"));
  EXPECT_EQ(b.log.RowCount(), 2u + waits.size());
}

// The reply is compared as a number (9.5 is below 10.5, though not as a text)
// and logged whole; a lost link's "ErrRec" or nothing is no reading and fails.
TEST(RunnerInstrument, BatteryRampVerdictKeepsTheWholeReply) {
  struct Case {
    const char* reply;
    const char* cell;
    const char* verdict;
  };
  for (const Case c :
       {Case{"9.5", "9.5", "PASS"}, Case{"10.5", "10.5", "FAIL"}, Case{"11.25", "11.25", "FAIL"},
        Case{"ErrRec", "ErrRec", "FAIL"}, Case{"", "", "FAIL"}, Case{"11\r\n", "11  ", "FAIL"}}) {
    SCOPED_TRACE(c.reply);
    RunnerBench b;
    b.Load({{"Battery RAMP", {{kColLoadOffV, "10.5"}}}},
           {{"TESTING?", {"0"}}, {"BATT:RVOLT?", {c.reply}}});
    b.Run();
    b.Tick();
    EXPECT_EQ(b.Cell(0, 2), c.cell);
    EXPECT_EQ(b.Cell(0, 9), c.verdict);
  }
}

// A threshold at or above the voltage measured before the step is said as it
// starts; below it, or with nothing measured yet, nothing is said.
TEST(RunnerInstrument, AThresholdAboveTheMeasuredVoltageIsToldAtTheStepsStart) {
  const Cells ocp = {{kColVth, "12"}, {kColLimitLow, "1"}, {kColLimitHigh, "5"}};
  const Cells cv = {{kColCvAdd, "11.9"}, {kColSinkValue, "1"}, {kColTStop, "1"}};
  RunnerBench b;
  b.Load({{"OCP", ocp}, {"CV with Current Limit", cv}, {"OCP", ocp}},
         {{"MEAS:VC?", {"12,1", "11.95,1"}}, {"TESTING?", {"0"}}, {"NG?", {"0"}}});
  b.Run();
  b.RunToEnd(20);
  EXPECT_THAT(b.observer.Texts("notice"),
              ElementsAre("Step 3: Vth 12 V is at or above the 11.95 V measured before it: the "
                          "load sees a trip at once"));
}

TEST(RunnerInstrument, BatteryStepIsSkippedOnAModelWithoutCapitalG) {
  for (const char* model : {"KV-100A", "kv8g-100", "ErrRec", ""}) {
    SCOPED_TRACE(model);
    RunnerBench b;
    b.model = model;
    b.Load({{"Battery RAMP"}, {"Rest", {{kColTStop, "1"}}}});
    b.Run();
    b.Tick();
    EXPECT_THAT(b.observer.Texts("notice"),
                ElementsAre("Step 1 skipped: Battery RAMP is not available on this model"));
    // Nothing of the ramp goes out, and the Rest starts in the same tick.
    EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF", "MEAS:VC?"));
    EXPECT_EQ(b.Cell(0, 8), "Rest");
  }
}

}  // namespace
}  // namespace kv::test
