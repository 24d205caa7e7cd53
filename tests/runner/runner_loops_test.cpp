// FOR/LOOP blocks: repetition, restarts within one tick, and long runs.

#include "runner_harness.h"
#include "text/number_text.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const Lines kNormalStart = {"MODE CC", "CC:HIGH 1", "CC:LOW 1", "LOAD ON"};

void AddBlock(RunnerBench& b, const std::string& times) {
  b.AddStep("FOR", {{kColTimes, times}});
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}});
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.AddStep("LOOP");
}

std::vector<std::string> FunctionColumn(const RunnerBench& b) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < b.log.RowCount(); ++i) {
    out.push_back(b.Cell(i, 8));
  }
  return out;
}

TEST(RunnerLoops, ForThreeRunsTheBlockThreeTimes) {
  RunnerBench b;
  AddBlock(b, "3");
  b.link.Reply("MEAS:VC?", "12,1");
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 7);

  const Lines restStart = {"MEAS:VC?", "LOAD OFF", "LOAD OFF", "MEAS:VC?"};
  const Lines nextPass = {"MEAS:VC?", "LOAD OFF"};
  EXPECT_THAT(b.TakeLines(), ElementsAreArray(Concat({kNormalStart,
                                                      {"MEAS:VC?"},
                                                      restStart,  //
                                                      nextPass,
                                                      kNormalStart,
                                                      {"MEAS:VC?"},
                                                      restStart,
                                                      nextPass,
                                                      kNormalStart,
                                                      {"MEAS:VC?"},
                                                      restStart,
                                                      {"MEAS:VC?", "LOAD OFF", "LOAD OFF"}})));
  EXPECT_THAT(FunctionColumn(b), ElementsAre("Normal", "Rest", "Normal", "Rest", "Normal", "Rest"));
  EXPECT_THAT(b.intervals, ElementsAre(1000, 700, 1000, 700, 1000, 700, -1));

  std::vector<int> started;
  for (const auto& e : b.observer.events) {
    if (e.kind == "start") {
      started.push_back(e.a);
    }
  }
  EXPECT_THAT(started, ElementsAre(1, 2, 3, 4, 2, 3, 4, 2, 3, 4));
}

TEST(RunnerLoops, ForWithTimesZeroOrOneRunsOnce) {
  for (const char* times : {"0", "1", "-4", "", "-32768", "-99999"}) {
    SCOPED_TRACE(times);
    RunnerBench b;
    AddBlock(b, times);
    b.link.Reply("MEAS:VC?", "12,1");
    b.Run();
    EXPECT_EQ(b.RunToEnd(), 3);
    EXPECT_THAT(FunctionColumn(b), ElementsAre("Normal", "Rest"));
  }
}

// Rows past the 16-bit range: the LOOP goes back to its own FOR's next row.
TEST(RunnerLoops, BlockPastRow32767RunsItsCount) {
  RunnerBench b;
  std::vector<TestStep> steps(32'767);
  for (const auto& [function, cells] :
       std::vector<std::pair<std::string, TestStep>>{{"FOR", {}}, {"Rest", {}}, {"LOOP", {}}}) {
    TestStep step = cells;
    step[kColFunction] = function;
    steps.push_back(step);
  }
  steps[32'767][kColTimes] = "2";
  steps[32'768][kColTStop] = "1";
  b.grid.AssignSteps(steps);
  b.Run();
  b.state.currentRow = 32'768;
  b.RunToEnd(20);
  EXPECT_FALSE(b.timerOn);
  EXPECT_THAT(FunctionColumn(b), ElementsAre("Rest", "Rest"));
}

TEST(RunnerLoops, ListOfOnlyLoopRowsEndsOverSeveralShortTicks) {
  RunnerBench b;
  b.AddStep("FOR", {{kColTimes, "5000"}});
  b.AddStep("LOOP");
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 6);
  // No tick restarts for ever: each one gives up after a bounded number of
  // passes and the next carries on.
  EXPECT_THAT(b.intervals, ElementsAre(50, 50, 50, 50, 50, -1));
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF"));
  EXPECT_EQ(b.log.RowCount(), 0u);
}

// Hours of ticks: row numbers stay consecutive and the ampere-hour and
// watt-hour sums restart at every step and grow by exactly one second each.
TEST(RunnerLoops, SoakLongBlockKeepsNumbersAndSums) {
  RunnerBench b;
  b.AddStep("FOR", {{kColTimes, "3"}});
  b.AddStep("Discharge", {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColTStop, "3600"}});
  b.AddStep("Discharge", {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColTStop, "7"}});
  b.AddStep("LOOP");
  b.link.Reply("MEAS:VC?", "12,1.8");
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 3 * 3607 + 1);

  ASSERT_EQ(b.log.RowCount(), 3u * 3607u);
  for (std::size_t i = 0; i < b.log.RowCount(); ++i) {
    ASSERT_EQ(b.Cell(i, 0), std::to_string(i + 1));
    const std::size_t inPass = i % 3607;
    const int seconds = static_cast<int>(inPass < 3600 ? inPass + 1 : inPass - 3599);
    // Exact decimal sums, not just close ones.
    ASSERT_EQ(b.Cell(i, 5), FormatNumber(seconds * 5 / 10000.0)) << "row " << i + 1;
    ASSERT_EQ(b.Cell(i, 6), FormatNumber(seconds * 6 / 1000.0)) << "row " << i + 1;
  }
  EXPECT_EQ(b.Cell(3599, 5), "1.8");
  EXPECT_EQ(b.Cell(3599, 6), "21.6");
  EXPECT_EQ(b.Cell(3606, 5), "0.0035");
  // 10:00:00 plus 10821 one-second ticks.
  EXPECT_EQ(b.Cell(3 * 3607 - 1, 7), "2026/12/06 13:00:20");

  int loadOn = 0;
  int loadOff = 0;
  for (const auto& line : b.link.Lines()) {
    loadOn += line == "LOAD ON";
    loadOff += line == "LOAD OFF";
  }
  EXPECT_EQ(loadOn, 6);
  // Between the two Discharge steps the load stays on.
  EXPECT_EQ(loadOff, 3 + 1);
}

}  // namespace
}  // namespace kv::test
