// The step-list check, one table per concern: every case lists all the
// findings it expects, so a finding too many fails as well as one too few.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "check/check_report.h"
#include "check/step_list_check.h"
#include "check_cases.h"
#include "stepfile/step_file.h"
#include "steps/step_function.h"

namespace kv::test {
namespace {

struct Expected {
  int step;
  Severity severity;
  std::string part;  // a piece of the message
};

struct Case {
  std::string name;
  std::vector<ListStep> steps;
  std::vector<Expected> findings;
};

using Check = std::function<std::vector<CheckFinding>(const StepGrid&)>;

std::vector<CheckFinding> EverythingOffered(const StepGrid& grid) {
  const std::vector<std::string> all(kStepFunctionNames.begin(), kStepFunctionNames.end());
  return CheckStepList(grid, &all);
}

void RunTable(const std::vector<Case>& cases, const Check& check = EverythingOffered) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto found = check(Grid(c.steps));
    ASSERT_EQ(found.size(), c.findings.size()) << FormatFindings(found);
    for (std::size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].step, c.findings[i].step) << FormatFinding(found[i]);
      EXPECT_EQ(found[i].severity, c.findings[i].severity) << FormatFinding(found[i]);
      EXPECT_THAT(found[i].message, ::testing::HasSubstr(c.findings[i].part));
    }
  }
}

constexpr auto E = Severity::Error;
constexpr auto W = Severity::Warning;
constexpr auto N = Severity::Note;

// clang-format off
TEST(CheckStepList, LoopBlocks) {
  RunTable({
      {"no steps", {}, {{0, E, "no steps"}}},
      {"a sound block", {{"FOR"}, {"Rest"}, {"LOOP"}}, {}},
      {"LOOP first", {{"Rest"}, {"LOOP"}}, {{2, E, "LOOP without an open FOR"}}},
      {"LOOP after a closed block", {{"FOR"}, {"Rest"}, {"LOOP"}, {"LOOP"}}, {{4, E, "LOOP without an open FOR"}}},
      {"FOR never closed", {{"FOR"}, {"Rest"}, {"Rest"}}, {{1, E, "steps 2 to 3 run once"}}},
      {"FOR as the last step", {{"Rest"}, {"FOR"}}, {{2, E, "repeats nothing"}}},
      {"FOR inside a FOR", {{"FOR"}, {"Rest"}, {"FOR"}, {"Rest"}, {"LOOP"}, {"LOOP"}},
       {{3, E, "replaces it and the FOR of step 1 repeats nothing (step 2 runs once)"},
        {6, E, "LOOP without an open FOR"}}},
      {"Times 0", {{"FOR", {{kColTimes, "0"}}}, {"Rest"}, {"LOOP"}}, {{1, W, "step 2 runs once"}}},
  });
}
// clang-format on

// clang-format off
TEST(CheckStepList, FunctionsAndTheModelsOffer) {
  RunTable({
      {"unknown function", {{"Charge"}}, {{1, E, "unknown function \"Charge\""}}},
      {"no function", {{""}}, {{1, E, "no function"}}},
  });
  RunTable({{"nothing identified", {{"Rest"}, {"Battery Discharge CC"}, {"OCP"}}, {{2, N, "nothing is identified yet"}}}},
           [](const StepGrid& g) { return CheckStepList(g, nullptr); });
  const std::vector<std::string> offer = {"Rest", "Battery CC+CV"};
  RunTable({{"offer only", {{"Rest"}, {"Battery RAMP"}}, {{2, E, "not offered by the identified model"}}}},
           [&offer](const StepGrid& g) { return CheckStepList(g, &offer); });
  // A model without "G" is offered some battery functions, yet the runner skips them there;
  // one with "G" is sent what it does not offer all the same.
  RunTable({{"no G", {{"Battery CC+CV"}, {"Discharge"}}, {{1, E, "will be skipped"}}}},
           [](const StepGrid& g) { return CheckStepListForModel(g, "KV-C100"); });
  RunTable({{"G", {{"Sequence Load"}, {"Battery CC+CV"}}, {{1, E, "all the same"}}}},
           [](const StepGrid& g) { return CheckStepListForModel(g, "KV-G100Q7Z"); });
}
// clang-format on

// clang-format off
TEST(CheckStepList, NumberFieldsSayWhatTheLoadGets) {
  RunTable({
      {"level sent as typed", {{"Discharge", {{kColSinkValue, "1A"}}}},
       {{1, E, "SinkValue \"1A\" is not a number: it goes to the load as it stands"}}},
      {"stop read by the runner", {{"Discharge", {{kColVStop, "3V"}}}},
       {{1, W, "VStop \"3V\" is not a number: the runner reads it as 3"}}},
      {"time read to four places", {{"Rest", {{kColTStop, "1.23456s"}}}}, {{1, W, "reads it as 1.2346"}}},
      {"limit read and sent", {{"Battery Discharge CC", {{kColAhStop, "two"}}}},
       {{1, W, "reads it as 0 and sends that to the load"}}},
      {"verdict limit", {{"OCP", {{kColLimitLow, "x5"}, {kColStart, ""}}}},
       {{1, W, "Start is empty"}, {1, E, "the verdict reads it as 0"}}},
      {"count rounded", {{"FOR", {{kColTimes, "2.6"}}}, {"Rest"}, {"LOOP"}}, {{1, W, "uses 3"}}},
      {"count clamped", {{"Battery RAMP", {{kColTimes, "40000"}}}},
       {{1, W, "out of range: the runner uses 32767 and sends that to the load"}}},
      {"mode", {{"Normal", {{kColMode, "cc"}}}}, {{1, E, "Mode \"cc\" is not CC, CR, CV or CP"}}},
      {"sequence type", {{"Sequence Load", {{kColMode, "CV"}}}}, {{1, E, "not CC or CP"}}},
  });
}

TEST(CheckStepList, StopsThatCannotEndTheStepOrEndItAtOnce) {
  RunTable({
      {"no time", {{"Discharge", {{kColTStop, "0"}}}}, {{1, E, "ends the step at once"}}},
      {"rest without time", {{"Rest", {{kColTStop, ""}}}}, {{1, W, "ends the step at once"}}},
      {"load's timer first", {{"Battery Discharge CC", {{kColTStop, "0"}}}}, {{1, E, "within a second"}}},
      {"one second left", {{"Battery Discharge CC", {{kColTStop, "1"}}}}, {}},
      {"held below the stop", {{"Discharge", {{kColMode, "CV"}, {kColSinkValue, "3"}, {kColVStop, "3.5"}}}},
       {{1, E, "VStop 3.5 ends the step at once: the load holds the voltage at 3 V"}}},
      {"held at the stop", {{"CV with Current Limit", {{kColCvAdd, "3.5"}, {kColVStop, "3.5"}}}},
       {{1, W, "cannot end the step"}}},
      {"voltage stop before CV", {{"Battery CC+CV", {{kColVStop, "3.2"}}}},
       {{1, W, "before its constant-voltage phase"}}},
      {"stops a Dynamic step ignores", {{"Dynamic", {{kColVStop, "3.3"}, {kColAhStop, "0"}}}, {"Dynamic Off"}},
       {{1, W, "VStop 3.3 is not applied"}}},
      {"watt-hours on the load, ampere-hours here", {{"Battery Discharge CP", {{kColAhStop, "10"}}}},
       {{1, N, "watt-hour limit (10 Wh), while the runner stops the step at 10 Ah"}}},
      {"sequence past its 10 s", {{"Sequence Load", {{kColRampTime, ";6000;6000"}}}}, {{1, W, "lasts 12 s"}}},
  });
}

TEST(CheckStepList, SubTables) {
  RunTable({
      {"ramp total 0", {{"Battery RAMP", {{kColTotalStep, "0"}, {kColRampCc, ""}, {kColRampTime, ""}}}},
       {{1, E, "Total Step \"0\": the ramp has no sub-steps"}}},
      {"ramp past its lists", {{"Battery RAMP", {{kColTotalStep, "3"}}}},
       {{1, E, "Ramp CC holds 2 entries for 3 sub-steps"}, {1, E, "Ramp Time holds 2"}}},
      {"ramp entries", {{"Battery RAMP", {{kColRampCc, ";1;x"}, {kColRampTime, ";;10"}}}},
       {{1, E, "Ramp CC entry 2 \"x\""}, {1, W, "Ramp Time entry 1 is empty"}}},
      {"sequence total empty", {{"Sequence Load", {{kColTotalStep, ""}}}}, {{1, E, "the sequence has no sub-steps"}}},
      {"no cycles", {{"Battery Cycle Life", {{kColHigh, ""}}}}, {{1, E, "no cycle rows"}}},
      {"cycle lists apart", {{"Battery Cycle Life", {{kColTLow, ";10"}}}}, {{1, E, "T-Low holds 1 entry for 2 cycles"}}},
      {"more cycles than go out",
       {{"Battery Cycle Life", {{kColHigh, ";2;1;1;1"}, {kColLow, ";0;0;0;0"}, {kColTHigh, ";1;1;1;1"},
                                {kColTLow, ";1;1;1;1"}, {kColCycleCount, ";1;1;1;1"}}}},
       {{1, W, "only the first 3"}}},
  });
}
// clang-format on

// Each rule broken, and kept at its bound.
// clang-format off
TEST(CheckStepList, NumbersTheStepCannotWorkWith) {
  RunTable({
      {"a bench's mistakes, one finding each",
       {{"OCP", {{kColStart, "6"}, {kColStep, "4"}}},
        {"OCP", {{kColStop, "0"}}},
        {"OCP", {{kColLimitLow, "6.5"}}},
        {"OCP", {{kColStart, "4"}, {kColStep, "6"}, {kColLimitLow, "7"}, {kColLimitHigh, "8"}}},
        {"OPP", {{kColStart, "80"}, {kColStep, "40"}, {kColLimitLow, "66"}, {kColLimitHigh, "54"}}},
        {"Dynamic", {{kColLow, "3"}, {kColTHigh, "0"}, {kColRise, "0"}}},
        {"Sequence Load", {{kColRampCc, ";0;2"}, {kColRampTime, ";500;0"}}}},
       {{1, E, "Start 6 is above Step (the sweep's end) 4: the sweep runs upward from Start"},
        {2, E, "Stop (the sweep's increment) is 0: the sweep never rises"},
        {3, E, "Limit Low 6.5 is above Limit High 6: no trip can pass"},
        {4, E, "Limit Low 7 is above Step (the sweep's end) 6: no trip of the sweep can pass"},
        {5, E, "Start 80 is above Step (the sweep's end) 40"},
        {5, E, "Limit Low 66 is above Limit High 54"},
        {6, E, "Low 3 is above High 2"}, {6, E, "T-High is 0"}, {6, E, "Rise is 0"},
        {6, W, "no Dynamic Off step follows: DYN ON stays in force"},
        {7, E, "Ramp Time entry 2 is 0"}, {7, W, "Ramp CC entry 1 is 0"}}},
      {"sweeps at their bounds",
       {{"OCP", {{kColStart, "5"}, {kColStep, "5"}, {kColLimitHigh, "5"}}},
        {"OCP", {{kColStart, "5"}, {kColStep, "6"}, {kColStop, "0.001"}}},
        {"OPP", {{kColLimitLow, "66"}}}},
       {}},
      {"limits below the sweep", {{"OCP", {{kColStart, "6.5"}}}},
       {{1, E, "Start 6.5 is above Limit High 6: no trip of the sweep can pass"}}},
      {"limits reaching past the sweep", {{"OCP", {{kColLimitHigh, "9"}}}, {"OPP", {{kColStart, "55"}}}},
       {{1, W, "Limit High 9 is above Step (the sweep's end) 8: a supply that would trip between them"},
        {2, W, "Start 55 is above Limit Low 54: a supply that trips below Start"}}},
      {"Dynamic at its bounds",
       {{"Dynamic", {{kColLow, "2"}, {kColTHigh, "0.01"}, {kColTLow, "0.01"}, {kColRise, "0.001"},
                     {kColFall, "0.001"}}}, {"Dynamic Off"}},
       {}},
      {"no time low, no fall", {{"Dynamic", {{kColTLow, "0"}, {kColFall, "-1"}}}, {"Dynamic Off"}},
       {{1, E, "T-Low is 0"}, {1, E, "Fall is -1"}}},
      {"turned off later", {{"Dynamic"}, {"Rest"}, {"Dynamic Off"}}, {}},
      {"the last one left on", {{"Dynamic"}, {"Dynamic Off"}, {"Dynamic"}, {"Rest"}},
       {{3, W, "DYN ON stays in force"}}},
      // Entries past Total Step are never sent.
      {"sequence at its bounds", {{"Sequence Load", {{kColRampCc, ";0.001;2;0"}, {kColRampTime, ";1;1;0"}}}}, {}},
  });
}
// clang-format on

TEST(CheckStepList, ExamplesHaveNoErrors) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KV_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".tsf") {
      continue;
    }
    ++files;
    StepGrid grid;
    ASSERT_TRUE(LoadStepFile(grid, entry.path().string()).ok) << entry.path();
    const auto found = CheckStepList(grid, nullptr);
    EXPECT_FALSE(HasErrors(found)) << entry.path() << "\n" << FormatFindings(found);
  }
  EXPECT_GE(files, 4);
}

}  // namespace
}  // namespace kv::test
