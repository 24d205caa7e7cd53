// The example step lists run against the simulated load as an operator would
// see them: every line accepted, the stops and verdicts they are meant to show.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "results/result_log.h"
#include "runner/run_control.h"
#include "runner/runner_tick.h"
#include "sim/link/simulated_link.h"
#include "stepfile/step_file.h"
#include "support/fake_clock.h"

namespace kv {
namespace {

struct Finished : RunnerObserver {
  void OnMessage(std::string_view text) override { message = text; }
  std::string message;
};

// Runs the list to its end on a fake clock, ticking as the station would;
// every list ends as finished with the input off.
ResultLog RunList(const std::string& file, SimulatedLoad& load) {
  ResultLog log;
  StepGrid grid;
  const StepFileResult loaded = LoadStepFile(grid, file);
  EXPECT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.longLines, 0);
  test::FakeClock clock;
  SimulatedLink link(load, clock);
  link.OpenInstrument(link.ConnectMode());
  Finished observer;
  RunnerContext ctx{grid, link, log, clock, [&] { return load.Config().modelText; }, &observer};
  RunnerState state;
  RunCommand(state, log);
  int interval = 1000;
  for (int ticks = 0; ticks < 100000; ++ticks) {
    clock.AdvanceMs(interval);
    const TickOutcome o = RunnerTick(state, ctx);
    if (!o.reenableTimer) {
      break;
    }
    interval = o.intervalMs;
  }
  EXPECT_EQ(observer.message, "Test Finished") << file;
  EXPECT_FALSE(load.InputOn()) << file;
  for (const SimError& e : load.Errors()) {
    ADD_FAILURE() << file << ": the load rejected \"" << e.line << "\": " << e.reason;
  }
  return log;
}

// Rows holding a verdict, in order.
std::vector<std::string> Verdicts(const ResultLog& log) {
  std::vector<std::string> v;
  for (std::size_t i = 0; i < log.RowCount(); ++i) {
    if (!log.Cell(i, 9).empty()) {
      v.emplace_back(log.Cell(i, 9));
    }
  }
  return v;
}

TEST(ExampleLists, DemoShowsAVoltageStopALoopAndAPassingOcpWithinThirtySeconds) {
  SimulatedLoad load;
  const ResultLog log = RunList(KV_EXAMPLES_DIR "/demo.tsf", load);
  EXPECT_LT(load.NowMs(), 30000);
  EXPECT_EQ(Verdicts(log), std::vector<std::string>{"PASS"});
  // The first discharge ends on its 4 V stop, well before its 20 s limit.
  int firstDischargeRows = 0;
  while (log.Cell(static_cast<std::size_t>(firstDischargeRows), 8) == "Discharge") {
    ++firstDischargeRows;
  }
  EXPECT_GT(firstDischargeRows, 3);
  EXPECT_LT(firstDischargeRows, 20);
  EXPECT_EQ(load.ReceivedLines().back(), "LOAD OFF");
}

TEST(ExampleLists, SupplyCheckPassesOcpAndOppOnTheSimulatedSupply) {
  SimLoadConfig supply;
  supply.source = {.kind = SimSourceKind::Supply,
                   .fullVoltage = 12.0,
                   .internalOhm = 0.01,
                   .currentLimitA = 5.0};
  SimulatedLoad load(supply);
  const ResultLog log = RunList(KV_EXAMPLES_DIR "/psu_ocp_opp.tsf", load);
  EXPECT_EQ(Verdicts(log), (std::vector<std::string>{"PASS", "PASS"}));
  EXPECT_EQ(load.HandleLine("OCP?", load.NowMs()), "5.1000");
  EXPECT_EQ(load.HandleLine("OPP?", load.NowMs()), "60.0000");
}

TEST(ExampleLists, CapacityTestEmptiesTheCellToItsCutOff) {
  SimulatedLoad load;
  const ResultLog log = RunList(KV_EXAMPLES_DIR "/battery_capacity.tsf", load);
  EXPECT_GT(load.Source().DrawnAh(), 0.9 * load.Config().source.capacityAh);
  // It ended on the 3 V stop, not on its ten-hour limit.
  std::size_t lastDischarge = 0;
  for (std::size_t i = 0; i < log.RowCount(); ++i) {
    if (log.Cell(i, 8) == "Discharge") {
      lastDischarge = i;
    }
  }
  EXPECT_LT(std::stod(std::string(log.Cell(lastDischarge, 2))), 3.0);
  EXPECT_LT(lastDischarge, 1000u);
}

TEST(ExampleLists, PulsedLoadAlternatesItsLevels) {
  SimulatedLoad load;
  const ResultLog log = RunList(KV_EXAMPLES_DIR "/pulsed_load.tsf", load);
  std::set<std::string> levels;
  for (std::size_t i = 0; i < log.RowCount(); ++i) {
    if (log.Cell(i, 8) == "Dynamic") {
      levels.emplace(log.Cell(i, 3));
    }
  }
  EXPECT_THAT(levels, ::testing::IsSupersetOf({"2.0000", "0.2000"}));
  EXPECT_FALSE(load.DynamicOn());
}

// One step of every function, as the editor writes them: whatever the
// builders send for them, the load must know.
TEST(ExampleLists, EveryFunctionRunsWithoutARejectedLine) {
  SimulatedLoad load;
  const ResultLog log = RunList(KV_TEST_DATA_DIR "/sim/every_function.tsf", load);
  // The ramp (twice, inside FOR/LOOP) and the cycle-life test end by themselves
  // and hold the cell above its load-off voltage; the sweeps trip at its 5 A
  // protection, inside the limits of both.
  EXPECT_EQ(Verdicts(log), (std::vector<std::string>{"FAIL", "FAIL", "FAIL", "PASS", "PASS"}));
}

}  // namespace
}  // namespace kv
