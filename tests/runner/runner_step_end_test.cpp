// Why each step ended and how the run ended, as the summary keeps them.

#include <fstream>
#include <sstream>

#include "runner/run_summary.h"
#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAreArray;

class EndRecorder : public RunnerObserver {
 public:
  void OnStepEnded(const StepEnd& e) override {
    std::string text = std::to_string(e.row) + " " + e.functionName + " ";
    text += StepEndReasonName(e.reason);
    if (e.skip != SkipReason::None) {
      text += " " + std::string(SkipReasonName(e.skip));
    }
    if (e.verdict != StepVerdict::None) {
      text += " " + std::string(StepVerdictText(e.verdict));
    }
    ends.push_back(text);
  }
  void OnRunEnded(const RunEnd& e) override {
    ends.push_back("run " + std::string(RunEndReasonName(e.reason)));
  }
  std::vector<std::string> ends;
};

enum class Act { None, Stop, LinkLost, RunAgain, EmptyTheList };

struct Step {
  std::string function;
  Cells cells;
};

struct Scenario {
  const char* name;
  std::string model;
  std::vector<Step> steps;
  std::vector<std::pair<std::string, std::vector<std::string>>> replies;
  Act act;
  int actAfterTick;
  std::vector<std::string> ends;
};

/// Runs the list to its end as the station would, doing `act` after the
/// given tick.
void Drive(RunnerBench& b, Act act, int actAfterTick) {
  b.Run();
  for (int tick = 1; b.timerOn && tick < 1000; ++tick) {
    b.Tick();
    if (tick != actAfterTick) {
      continue;
    }
    switch (act) {
      case Act::Stop:
        StopCommand(b.state, b.ctx);
        b.timerOn = false;
        break;
      case Act::LinkLost:
        EndStepForLinkLoss(b.state, b.ctx);
        b.timerOn = false;
        break;
      case Act::RunAgain:
        b.Run();
        break;
      case Act::EmptyTheList:
        b.grid.AssignSteps({});
        break;
      case Act::None:
        break;
    }
  }
}

TEST(RunnerStepEnd, EveryStepLeftIsReportedWithItsReason) {
  const Cells discharge100 = {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColTStop, "100"}};
  const Cells rest1 = {{kColTStop, "1"}};
  const Cells limits = {{kColLimitLow, "1"}, {kColLimitHigh, "10"}};
  const std::vector<Scenario> cases = {
      {"stops",
       "KV8G-100",
       {{"Discharge", {{kColVStop, "10"}, {kColTStop, "100"}}},
        {"Discharge", {{kColAhStop, "0.001"}, {kColTStop, "100"}}},
        {"Rest", {{kColTStop, "2"}}}},
       {{"MEAS:VC?", {"9,1.8", "12,1.8"}}},
       Act::None,
       0,
       {"1 Discharge voltage", "2 Discharge ah", "3 Rest time", "run completed"}},
      {"the load ends its own tests",
       "KV8G-100",
       {{"OCP", limits},
        {"OPP", limits},
        {"Battery RAMP", {{kColLoadOffV, "10"}}},
        {"Sequence Load", {}}},
       {{"TESTING?", {"0"}},
        {"NG?", {"0"}},
        {"OCP?", {"5"}},
        {"OPP?", {"50"}},
        {"BATT:RVOLT?", {"9.5"}}},
       Act::None,
       0,
       {"1 OCP completed PASS", "2 OPP completed FAIL", "3 Battery RAMP completed PASS",
        "4 Sequence Load completed", "run completed"}},
      {"skips",
       "KV8-100",
       {{"Battery RAMP", {}}, {"Bogus", {}}, {"", {}}, {"Rest", rest1}},
       {},
       Act::None,
       0,
       {"1 Battery RAMP skipped not-offered", "2 Bogus skipped unknown-function",
        "3  skipped no-function", "4 Rest time", "run completed"}},
      {"each pass of a loop, no FOR or LOOP",
       "KV8G-100",
       {{"FOR", {{kColTimes, "2"}}}, {"Rest", rest1}, {"LOOP", {}}},
       {},
       Act::None,
       0,
       {"2 Rest time", "2 Rest time", "run completed"}},
      {"stop",
       "KV8G-100",
       {{"Discharge", discharge100}, {"Rest", rest1}},
       {},
       Act::Stop,
       2,
       {"1 Discharge stopped", "run stopped"}},
      {"link lost",
       "KV8G-100",
       {{"Discharge", discharge100}, {"Rest", rest1}},
       {},
       Act::LinkLost,
       2,
       {"1 Discharge link-lost", "run link-lost"}},
      {"run again",
       "KV8G-100",
       {{"Rest", {{kColTStop, "2"}}}},
       {},
       Act::RunAgain,
       1,
       {"1 Rest stopped", "run stopped", "1 Rest time", "run completed"}},
      {"the list runs out under a step",
       "KV8G-100",
       {{"Discharge", discharge100}, {"Rest", rest1}},
       {},
       Act::EmptyTheList,
       2,
       {"1 Discharge end-of-list", "run completed"}},
  };
  for (const Scenario& c : cases) {
    SCOPED_TRACE(c.name);
    RunnerBench b;
    b.model = c.model;
    for (const Step& step : c.steps) {
      b.AddStep(step.function, step.cells);
    }
    b.link.Reply("MEAS:VC?", "12,1");
    for (const auto& [query, replies] : c.replies) {
      b.link.ReplySequence(query, replies);
    }
    EndRecorder recorder;
    b.ctx.observer = &recorder;
    Drive(b, c.act, c.actAfterTick);
    EXPECT_THAT(recorder.ends, ElementsAreArray(c.ends));
    // Stop afterwards reports nothing: no run is going.
    StopCommand(b.state, b.ctx);
    EXPECT_EQ(recorder.ends.size(), c.ends.size());
  }
}

TEST(RunnerStepEnd, SummaryCsvOfARun) {
  RunnerBench b;
  b.AddStep("Discharge",
            {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColVStop, "10"}, {kColTStop, "100"}});
  b.AddStep("Discharge",
            {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColAhStop, "0.001"}, {kColTStop, "100"}});
  b.AddStep("OCP", {{kColLimitLow, "1"}, {kColLimitHigh, "10"}});
  b.AddStep("FOR", {{kColTimes, "2"}});
  b.AddStep("Rest", {{kColTStop, "2"}});
  b.AddStep("LOOP");
  b.AddStep("Foo, \"bar\"");
  b.link.Reply("TESTING?", "0");
  b.link.Reply("NG?", "0");
  b.link.Reply("OCP?", "5");
  RunSummary summary(&b.observer);
  b.ctx.observer = &summary;
  // Twice: the summary holds the latest run only.
  for (int run = 0; run < 2; ++run) {
    b.link.ReplySequence("MEAS:VC?", {"12,1.8", "9,1.8", "12,1.8"});
    b.Run();
    b.RunToEnd();
  }
  ASSERT_TRUE(summary.End().has_value());
  // The rows are as before: the summary only listens.
  EXPECT_EQ(b.observer.Texts("message"), Lines(2, "Test Finished"));

  std::ifstream golden(KV_TEST_DATA_DIR "/runner/run_summary.csv", std::ios::binary);
  ASSERT_TRUE(golden.is_open());
  std::ostringstream expected;
  expected << golden.rdbuf();
  EXPECT_EQ(FormatRunSummaryCsv(summary), expected.str());
}

}  // namespace
}  // namespace kv::test
