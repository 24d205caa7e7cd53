// The plan against the runner itself: for lists whose steps end by their time
// the plan must name exactly the rows and seconds a run on the bench takes.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "check/check_report.h"
#include "check/run_plan.h"
#include "check_cases.h"
#include "runner/runner_harness.h"

namespace kv::test {
namespace {

// The last tick only ends the run: it adds no row and takes no second.
void ExpectPlanOfARun(const char* name, const std::vector<ListStep>& steps) {
  SCOPED_TRACE(name);
  RunnerBench b;
  b.grid = Grid(steps);
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.Reply("TESTING?", "1");
  const RunPlan plan = PlanStepList(b.grid);
  b.Run();
  const int ticks = b.RunToEnd();
  EXPECT_EQ(plan.rows, static_cast<std::int64_t>(b.log.RowCount()));
  EXPECT_EQ(plan.seconds, ticks - 1);
}

TEST(PlanStepList, MatchesTheRunnersRowsAndTicks) {
  ExpectPlanOfARun("fractional budgets and Times 0", {{"Discharge", {{kColTStop, "2.5"}}},
                                                      {"Rest", {{kColTStop, "3"}}},
                                                      {"FOR", {{kColTimes, "0"}}},
                                                      {"Rest", {{kColTStop, "1"}}},
                                                      {"LOOP"}});
  ExpectPlanOfARun("a block and the battery budget",
                   {{"FOR", {{kColTimes, "3"}}},
                    {"Normal", {{kColTStop, "2"}}},
                    {"Short", {{kColTStop, "1"}}},
                    {"LOOP"},
                    {"Dynamic Off"},
                    {"Battery Discharge CC", {{kColTStop, "2"}, {kColVStop, "0"}}},
                    {"Rest", {{kColTStop, "0"}}}});
  ExpectPlanOfARun("a FOR inside a FOR", {{"FOR", {{kColTimes, "2"}}},
                                          {"Rest", {{kColTStop, "1"}}},
                                          {"FOR", {{kColTimes, "3"}}},
                                          {"Rest", {{kColTStop, "2"}}},
                                          {"LOOP"},
                                          {"Rest", {{kColTStop, "1"}}},
                                          {"LOOP"}});
  ExpectPlanOfARun("a sequence the load keeps running",
                   {{"Sequence Load"}, {"Rest", {{kColTStop, "1"}}}});
}

TEST(PlanStepList, SaysWhereTheLoadOrAStopDecides) {
  const std::vector<std::string> noBattery = {"Discharge", "Rest", "OCP"};
  const RunPlan plan = PlanStepList(Grid({{"Discharge", {{kColVStop, "3"}, {kColTStop, "3600"}}},
                                          {"OCP"},
                                          {"Battery RAMP"},
                                          {"Rest", {{kColTStop, "60"}}},
                                          {"Charge"}}),
                                    &noBattery);
  EXPECT_TRUE(plan.steps[2].skipped);
  EXPECT_TRUE(plan.steps[4].skipped);
  EXPECT_EQ(FormatPlan(plan),
            "Estimated run time: up to 1:01:00 + open-ended (step 2 runs until the load ends its "
            "test; step 1 may end sooner by a voltage or Ah stop or by the load)\n"
            "Result rows: about 3662\n");  // the OCP verdict row and its measurement row
}

TEST(PlanStepList, AHugeBudgetStaysAtTheTop) {
  const RunPlan plan = PlanStepList(Grid({{"FOR", {{kColTimes, "32767"}}},
                                          {"Battery Discharge CC", {{kColTStop, "1E20"}}},
                                          {"Discharge", {{kColTStop, "1E20"}}},
                                          {"LOOP"}}));
  EXPECT_EQ(plan.seconds, std::numeric_limits<std::int64_t>::max());
}

TEST(CheckReport, FindingLinesAndCounts) {
  const std::vector<CheckFinding> findings = {{0, Severity::Error, "the list has no steps"},
                                              {12, Severity::Warning, "w"},
                                              {3, Severity::Note, "n"}};
  EXPECT_EQ(FormatCheckReport(findings, RunPlan{}),
            "list: error: the list has no steps\nstep 12: warning: w\nstep 3: note: n\n"
            "Estimated run time: 0:00:00\nResult rows: 0\n1 error, 1 warning, 1 note\n");
  EXPECT_EQ(FormatDuration(100 * 3600 + 61), "100:01:01");
}

}  // namespace
}  // namespace kv::test
