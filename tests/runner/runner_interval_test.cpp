// The timer interval that keeps ticks about one second apart.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

struct IntervalCase {
  const char* name;
  const char* function;
  Fixed4 budget;
  bool timed;
  double elapsed;
  int expected;
};

TEST(RunnerInterval, Rule) {
  StepGrid grid;
  TestStep rest;
  rest[kColFunction] = "Rest";
  rest[kColTStop] = "3";
  grid.AssignSteps({rest});
  const IntervalCase cases[] = {
      {"tick took 0.2 s", "Discharge", 10 * kFixed4One, true, 0.2, 800},
      {"tick took 0.96 s", "Discharge", 10 * kFixed4One, true, 0.96, 975},
      {"just under 0.95 s", "Discharge", 10 * kFixed4One, true, 0.949, 51},
      {"just over 0.95 s", "Discharge", 10 * kFixed4One, true, 0.951, 975},
      {"half rounds to even (down)", "Discharge", 10 * kFixed4One, true, 0.1875, 812},
      {"half rounds to even (up)", "Discharge", 10 * kFixed4One, true, 0.0625, 938},
      {"instant tick", "Discharge", 10 * kFixed4One, true, 0.0, 1000},
      {"budget not above the tick", "Discharge", 5000, true, 0.5, 50},
      {"budget used up", "Discharge", 0, true, 0.1, 50},
      {"untimed step keeps pace", "OCP", -40 * kFixed4One, false, 0.1, 900},
      {"first Rest tick", "Rest", 3 * kFixed4One, true, 0.1, 700},
      {"later Rest tick", "Rest", 2 * kFixed4One, true, 0.1, 900},
      {"slow tick past its budget wins over Rest", "Rest", 3 * kFixed4One, true, 3.5, 50},
      {"midnight during the tick", "Discharge", 100 * kFixed4One, true, -86399.8, 1000},
  };
  for (const IntervalCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunnerState state;
    state.currentRow = 1;
    state.currentFunction = FindStepFunction(c.function);
    state.stepSecondsLeft = c.budget;
    state.stepTimed = c.timed;
    EXPECT_EQ(NextTickInterval(state, grid, 0.0, c.elapsed), c.expected);
  }
}

// Across midnight the tick's length is unknown: a full second, and the rows
// carry the new date.
TEST(RunnerInterval, TickDurationComesOffTheNextInterval) {
  struct Case {
    double start;
    int readMs;
    std::vector<int> intervals;
    const char* stamp;
  };
  for (const Case& c : {Case{36000, 200, {800, 800}, "2026/12/06 10:00:00"},
                        Case{36000, 960, {975, 975}, "2026/12/06 10:00:00"},
                        Case{36000, 3, {997, 997}, "2026/12/06 10:00:00"},
                        Case{86399.5, 600, {1000, 400}, "2026/12/07 00:00:00"}}) {
    SCOPED_TRACE(c.stamp + std::to_string(c.readMs));
    RunnerBench b;
    b.clock = FakeClock(c.start);
    b.Load({{"Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "10"}}}});
    b.link.OnRead([&](std::string_view) { b.clock.AdvanceMs(c.readMs); });
    b.Run();
    b.Ticks(2);
    EXPECT_EQ(b.intervals, c.intervals);
    EXPECT_EQ(b.Cell(0, 7), c.stamp);
  }
}

}  // namespace
}  // namespace kv::test
