// Whole runs of short lists: lines sent, rows, intervals and host events.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(RunnerBasic, RestThreeSecondsRunsThreeRowsThenEnds) {
  RunnerBench b;
  b.AddStep("Rest", {{kColTStop, "3"}});
  b.link.Reply("MEAS:VC?", "12.5,0");
  b.Run();
  EXPECT_EQ(b.RunToEnd(), 4);

  EXPECT_THAT(
      b.TakeLines(),
      ElementsAreArray(Concat({{"LOAD OFF"}, Repeat("MEAS:VC?", 4), {"LOAD OFF", "LOAD OFF"}})));
  // The first tick of a Rest comes early; the last tick ends the run.
  EXPECT_THAT(b.intervals, ElementsAre(700, 1000, 1000, -1));
  ASSERT_EQ(b.log.RowCount(), 3u);
  EXPECT_THAT(b.Row(0), ElementsAre("1", "10:00:00", "12.5", "0", "0", "0", "0",
                                    "2026/12/06 10:00:00", "Rest", ""));
  EXPECT_THAT(b.Row(1), ElementsAre("2", "10:00:00", "12.5", "0", "0", "0", "0",
                                    "2026/12/06 10:00:00", "Rest", ""));
  EXPECT_THAT(b.Row(2), ElementsAre("3", "10:00:01", "12.5", "0", "0", "0", "0",
                                    "2026/12/06 10:00:01", "Rest", ""));
  EXPECT_EQ(b.log.NextResultRow(), 4);
  EXPECT_THAT(b.observer.events,
              ElementsAre(Event{"start", "", 1, 0}, Event{"row", "", 0, 0}, Event{"row", "", 1, 0},
                          Event{"row", "", 2, 0}, Event{"finished", "", 1, 0},
                          Event{"message", "Test Finished"}));
  EXPECT_FALSE(b.state.running);
}

// A CR or LF inside a cell would split the row in every report; whatever the
// load sends, each control character reaches the cell as a space.
TEST(RunnerBasic, ControlCharactersFromTheLoadBecomeSpacesInCells) {
  for (const std::int16_t mode : {kModeSerial, kModeLan}) {
    SCOPED_TRACE(mode);
    RunnerBench b(mode);
    b.AddStep("OPP", {{kColLimitLow, "1"}, {kColLimitHigh, "50"}});
    b.link.Reply("MEAS:VC?", std::string("12\r\n\0,1.5\x1b[2J\t\x7f", 15));
    b.link.Reply("TESTING?", "0");
    b.link.Reply("NG?", "0");
    b.link.Reply("OPP?", "18\r\x0b");
    b.Run();
    b.Tick();
    EXPECT_THAT(b.Row(0), ElementsAre("1", "10:00:00", "", "", "18  ", "", "",
                                      "2026/12/06 10:00:00", "OPP", "PASS"));
    EXPECT_EQ(b.Cell(1, 2), "12   ");
    EXPECT_EQ(b.Cell(1, 3), "1.5 [2J  ");
    EXPECT_EQ(b.Cell(1, 4), "18");
  }
}

TEST(RunnerBasic, EmptyListEndsInFirstTick) {
  RunnerBench b;
  b.Run();
  const TickOutcome out = b.Tick();
  EXPECT_FALSE(out.reenableTimer);
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF"));
  EXPECT_EQ(b.log.RowCount(), 0u);
  EXPECT_THAT(b.observer.Texts("message"), ElementsAre("Test Finished"));
}

TEST(RunnerBasic, TickWithoutRunDoesNothing) {
  RunnerBench b;
  b.AddStep("Rest", {{kColTStop, "3"}});
  EXPECT_FALSE(b.Tick().reenableTimer);
  EXPECT_TRUE(b.TakeLines().empty());
}

TEST(RunnerBasic, RunTwiceClearsLogAndStartsFromFirstRow) {
  RunnerBench b;
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "5"}});
  b.AddStep("Rest", {{kColTStop, "5"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.Run();
  for (int i = 0; i < 7; ++i) {
    b.Tick();
  }
  ASSERT_EQ(b.state.currentRow, 2);
  b.state.lanReplies.push_back("stale");
  b.TakeLines();

  b.Run();
  EXPECT_EQ(b.log.RowCount(), 0u);
  EXPECT_EQ(b.log.NextResultRow(), 1);
  EXPECT_TRUE(b.state.lanReplies.empty());
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("MODE CC", "CC:HIGH 1", "CC:LOW 1", "LOAD ON", "MEAS:VC?"));
  EXPECT_THAT(b.Row(0)[0], "1");
  EXPECT_THAT(b.Row(0)[8], "Normal");
  // The row that was running turns white when row 1 is shown again.
  EXPECT_EQ(b.observer.events.back(), (Event{"row", "", 0, 0}));
  EXPECT_EQ(b.observer.events[b.observer.events.size() - 2], (Event{"start", "", 1, 2}));
}

TEST(RunnerBasic, RowsAreNumberedWithoutGapsAcrossResultAndMeasurementRows) {
  RunnerBench b;
  b.AddStep("OCP", {{kColLimitLow, "1"}, {kColLimitHigh, "5"}});
  b.AddStep("Rest", {{kColTStop, "2"}});
  b.AddStep("OPP", {{kColLimitLow, "1"}, {kColLimitHigh, "50"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.ReplySequence("TESTING?", {"1", "0", "1", "0"});
  b.link.Reply("NG?", "0");
  b.link.Reply("OCP?", "3.2");
  b.link.Reply("OPP?", "40");
  b.Run();
  b.RunToEnd();

  std::vector<std::string> numbers;
  std::vector<std::string> results;
  for (std::size_t i = 0; i < b.log.RowCount(); ++i) {
    numbers.push_back(b.Cell(i, 0));
    results.push_back(b.Cell(i, 8) + ":" + b.Cell(i, 9));
  }
  EXPECT_THAT(numbers, ElementsAre("1", "2", "3", "4", "5", "6", "7", "8"));
  EXPECT_THAT(results, ElementsAre("OCP:", "OCP:PASS", "OCP:", "Rest:", "Rest:", "OPP:", "OPP:PASS",
                                   "OPP:"));
  EXPECT_EQ(b.log.NextResultRow(), 9);
}

}  // namespace
}  // namespace kv::test
