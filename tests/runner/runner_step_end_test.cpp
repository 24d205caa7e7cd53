// Why each step ended and how the run ended, as the summary keeps them.

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

using Act = void (*)(RunnerBench&);

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  Script replies;
  Lines ends;
  Act act = nullptr;
  int actAfterTick = 0;
  std::string model = "KV8G-100";
  bool offLineOwed = false;  // the last off line went nowhere
};

TEST(RunnerStepEnd, EveryStepLeftIsReportedWithItsReason) {
  const Cells discharge100 = {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColTStop, "100"}};
  const Cells rest1 = {{kColTStop, "1"}};
  const Cells limits = {{kColLimitLow, "1"}, {kColLimitHigh, "10"}};
  const std::vector<Step> dischargeRest = {{"Discharge", discharge100}, {"Rest", rest1}};
  const Act stop = [](RunnerBench& b) { StopCommand(b.state, b.ctx); };
  const Act lost = [](RunnerBench& b) { EndStepForLinkLoss(b.state, b.ctx); };
  const Act runAgain = [](RunnerBench& b) { b.Run(); };
  const Act emptyTheList = [](RunnerBench& b) { b.grid.AssignSteps({}); };
  const Act stopUnheard = [](RunnerBench& b) {
    b.link.SetDelivering(false);
    StopCommand(b.state, b.ctx);
  };
  const Act dropTheLink = [](RunnerBench& b) { b.link.SetDelivering(false); };
  const std::vector<Scenario> cases = {
      {"stops",
       // Past both limits at once: the step ends once, by the first.
       {{"Discharge", {{kColVStop, "10"}, {kColAhStop, "0.0001"}, {kColTStop, "100"}}},
        {"Discharge", {{kColAhStop, "0.001"}, {kColTStop, "100"}}},
        {"Rest", {{kColTStop, "2"}}}},
       {{"MEAS:VC?", {"9,1.8", "12,1.8"}}},
       {"1 Discharge voltage", "2 Discharge ah", "3 Rest time", "run completed"}},
      {"the load ends its own tests",
       {{"OCP", limits},
        {"OPP", limits},
        {"Battery RAMP", {{kColLoadOffV, "10"}}},
        {"Sequence Load"}},
       {{"TESTING?", {"0"}},
        {"NG?", {"0"}},
        {"OCP?", {"5"}},
        {"OPP?", {"50"}},
        {"BATT:RVOLT?", {"9.5"}}},
       {"1 OCP completed PASS", "2 OPP completed FAIL", "3 Battery RAMP completed PASS",
        "4 Sequence Load completed", "run completed"}},
      {"skips",
       {{"Battery RAMP"}, {"Bogus"}, {""}, {"Rest", rest1}},
       {},
       {"1 Battery RAMP skipped not-offered", "2 Bogus skipped unknown-function",
        "3  skipped no-function", "4 Rest time", "run completed"},
       nullptr,
       0,
       "KV8-100"},
      {"each pass of a loop, no FOR or LOOP",
       {{"FOR", {{kColTimes, "2"}}}, {"Rest", rest1}, {"LOOP"}},
       {},
       {"2 Rest time", "2 Rest time", "run completed"}},
      {"stop", dischargeRest, {}, {"1 Discharge stopped", "run stopped"}, stop, 2},
      {"link lost", dischargeRest, {}, {"1 Discharge link-lost", "run link-lost"}, lost, 2},
      // An off line that reached no working link turned nothing off.
      {"stop unheard",
       dischargeRest,
       {},
       {"1 Discharge link-lost", "run link-lost"},
       stopUnheard,
       2,
       "KV8G-100",
       true},
      {"the list ends unheard",
       {{"Rest", {{kColTStop, "2"}}}},
       {},
       {"1 Rest time", "run link-lost"},
       dropTheLink,
       1,
       "KV8G-100",
       true},
      {"run again",
       {{"Rest", {{kColTStop, "2"}}}},
       {},
       {"1 Rest stopped", "run stopped", "1 Rest time", "run completed"},
       runAgain,
       1},
      {"the list runs out under a step",
       dischargeRest,
       {},
       {"1 Discharge end-of-list", "run completed"},
       emptyTheList,
       2},
  };
  for (const Scenario& c : cases) {
    SCOPED_TRACE(c.name);
    RunnerBench b;
    b.model = c.model;
    b.Load(c.steps, c.replies);
    EndRecorder recorder;
    b.ctx.observer = &recorder;
    // Runs the list to its end as the station would.
    b.Run();
    for (int tick = 1; b.timerOn && tick < 1000; ++tick) {
      b.Tick();
      if (tick == c.actAfterTick) {
        c.act(b);
      }
    }
    EXPECT_THAT(recorder.ends, ElementsAreArray(c.ends));
    EXPECT_EQ(b.state.offLineOwed, c.offLineOwed);
    // Stop afterwards reports nothing: no run is going.
    StopCommand(b.state, b.ctx);
    EXPECT_EQ(recorder.ends.size(), c.ends.size());
  }
}

TEST(RunnerStepEnd, SummaryCsvOfARun) {
  RunnerBench b;
  b.Load({{"Discharge",
           {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColVStop, "10"}, {kColTStop, "100"}}},
          {"Discharge",
           {{kColMode, "CC"}, {kColSinkValue, "1.8"}, {kColAhStop, "0.001"}, {kColTStop, "100"}}},
          {"OCP", {{kColLimitLow, "1"}, {kColLimitHigh, "10"}}},
          {"FOR", {{kColTimes, "2"}}},
          {"Rest", {{kColTStop, "2"}}},
          {"LOOP"},
          {"Foo, \"bar\""}},
         {{"TESTING?", {"0"}}, {"NG?", {"0"}}, {"OCP?", {"5"}}});
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
  EXPECT_EQ(FormatRunSummaryCsv(summary), Golden("run_summary.csv"));
}

}  // namespace
}  // namespace kv::test
