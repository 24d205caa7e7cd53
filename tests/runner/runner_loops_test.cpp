// FOR/LOOP blocks at the edges of their count and of the row range.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

TEST(RunnerLoops, ForWithTimesZeroOrOneRunsOnce) {
  for (const char* times : {"0", "1", "-4", "", "-32768", "-99999"}) {
    SCOPED_TRACE(times);
    RunnerBench b;
    b.Load({{"FOR", {{kColTimes, times}}},
            {"Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}}},
            {"Rest", {{kColTStop, "1"}}},
            {"LOOP"}});
    b.Run();
    EXPECT_EQ(b.RunToEnd(), 3);
    EXPECT_THAT(b.Column(8), ElementsAre("Normal", "Rest"));
  }
}

// Rows past the 16-bit range: the LOOP goes back to its own FOR's next row.
TEST(RunnerLoops, BlockPastRow32767RunsItsCount) {
  RunnerBench b;
  std::vector<TestStep> steps(32'770);
  steps[32'767][kColFunction] = "FOR";
  steps[32'767][kColTimes] = "2";
  steps[32'768][kColFunction] = "Rest";
  steps[32'768][kColTStop] = "1";
  steps[32'769][kColFunction] = "LOOP";
  b.grid.AssignSteps(steps);
  b.Run();
  b.state.currentRow = 32'768;
  b.RunToEnd(20);
  EXPECT_FALSE(b.timerOn);
  EXPECT_THAT(b.Column(8), ElementsAre("Rest", "Rest"));
}

// No tick restarts for ever: each one gives up after a bounded number of
// passes and the next carries on.
TEST(RunnerLoops, ListOfOnlyLoopRowsEndsOverSeveralShortTicks) {
  RunnerBench b;
  b.Load({{"FOR", {{kColTimes, "5000"}}}, {"LOOP"}});
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 6);
  EXPECT_THAT(b.intervals, ElementsAre(50, 50, 50, 50, 50, -1));
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF"));
  EXPECT_EQ(b.log.RowCount(), 0u);
}

}  // namespace
}  // namespace kv::test
