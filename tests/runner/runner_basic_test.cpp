// Whole runs of short lists, each kept as a transcript: the lines sent, the
// host events and rows in the order they happen, and the next interval.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  Script replies;
  std::int16_t mode = kModeSerial;
};

std::string Transcript(const Scenario& c) {
  RunnerBench b(c.mode);
  b.Load(c.steps, c.replies);
  std::string out = "== " + std::string(c.name) + "\n";
  b.link.OnWrite([&](std::string_view line) { out += "  > " + std::string(line) + "\n"; });
  b.observer.onEvent = [&](const Event& e) {
    if (e.kind == "start") {
      out += "  start row " + std::to_string(e.a) + " (from " + std::to_string(e.b) + ")\n";
    } else if (e.kind == "row") {
      out += "  row " + ::testing::PrintToString(b.Row(static_cast<std::size_t>(e.a))) + "\n";
    } else if (e.kind == "finished") {
      out += "  finished at row " + std::to_string(e.a) + "\n";
    } else {
      out += "  " + e.kind + " " + e.text + "\n";
    }
  };
  b.Run();
  for (int tick = 1; b.timerOn && tick <= 12; ++tick) {
    out += "tick " + std::to_string(tick) + "\n";
    const TickOutcome t = b.Tick();
    out +=
        t.reenableTimer ? "  next in " + std::to_string(t.intervalMs) + " ms\n" : "  timer off\n";
  }
  return out;
}

const Cells kRamp = {{kColSinkValue, "1"},   {kColTotalStep, "2"},   {kColRampCc, ";2;3"},
                     {kColRampTime, ";5;5"}, {kColLoadOffV, "10.5"}, {kColTimes, "1"}};
const Cells kCycleLife = {{kColHigh, ";1;2"}, {kColLow, ";0.5;0.6"},    {kColTHigh, ";1;1"},
                          {kColTLow, ";2;2"}, {kColCycleCount, ";3;4"}, {kColLoadOffV, "9"},
                          {kColTimes, "2"}};
const Cells kSequence = {{kColMode, "CC"},
                         {kColTotalStep, "1"},
                         {kColRampCc, ";2"},
                         {kColRampTime, ";5"},
                         {kColLoadOffV, "3"}};
const Cells kBatteryCc = {
    {kColSinkValue, "2"}, {kColVStop, "10.50"}, {kColTStop, "3"}, {kColAhStop, "2"}};
const Cells kBatteryCp = {
    {kColSinkValue, "20"}, {kColVStop, "9"}, {kColTStop, "1.5"}, {kColAhStop, "1.25"}};
const Cells kNormal = {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}};
const Cells kRest1 = {{kColTStop, "1"}};

TEST(RunnerBasic, TranscriptsOfShortRuns) {
  const Cells cr20 = {{kColMode, "CR"}, {kColSinkValue, "20"}, {kColTStop, "1"}};
  const Cells limits = {{kColLimitLow, "1"}, {kColLimitHigh, "5"}};
  // A CR or LF inside a cell would split the row in every report; whatever
  // the load sends, each control character reaches the cell as a space.
  const Script controls = {{"MEAS:VC?", {std::string("12\r\n\0,1.5\x1b[2J\t\x7f", 15)}},
                           {"TESTING?", {"0"}},
                           {"NG?", {"0"}},
                           {"OPP?", {"18\r\x0b"}}};
  const std::vector<Step> opp = {{"OPP", {{kColLimitLow, "1"}, {kColLimitHigh, "50"}}}};
  const Scenario cases[] = {
      {"control characters become spaces", opp, controls},
      {"control characters become spaces (LAN)", opp, controls, kModeLan},
      {"Rest of 3 s", {{"Rest", {{kColTStop, "3"}}}}, {{"MEAS:VC?", {"12.5,0"}}}},
      {"an empty list", {}, {}},
      {"two Normal steps keep the load on", {{"Normal", cr20}, {"Normal", kNormal}}, {}},
      {"Normal then Rest", {{"Normal", kNormal}, {"Rest", kRest1}}, {}},
      {"Short ends with SHORT OFF only",
       {{"Short", {{kColTStop, "2"}}}, {"Rest", kRest1}},
       {{"MEAS:VC?", {"0.1,30"}}}},
      {"Dynamic Off ends in the tick it starts", {{"Dynamic Off"}, {"Rest", kRest1}}, {}},
      {"rows are numbered across result and measurement rows",
       {{"OCP", limits}, {"Rest", {{kColTStop, "2"}}}, {"OPP", limits}},
       {{"TESTING?", {"1", "0", "1", "0"}}, {"NG?", {"0"}}, {"OCP?", {"3.2"}}, {"OPP?", {"4"}}}},
      {"Battery RAMP runs until the load ends its test",
       {{"Battery RAMP", kRamp}},
       {{"MEAS:VC?", {"11,2"}}, {"TESTING?", {"1", "1", "1", "0"}}, {"BATT:RVOLT?", {"9.5"}}}},
      {"Battery Cycle Life ends by its completion check",
       {{"Battery Cycle Life", kCycleLife}, {"Rest", kRest1}},
       {{"MEAS:VC?", {"11,2"}}, {"TESTING?", {"1", "0"}}, {"BATT:RVOLT?", {"8.9"}}}},
      {"Sequence Load ends when the load stops testing",
       {{"Sequence Load", kSequence}, {"Rest", kRest1}},
       {{"MEAS:VC?", {"11,2"}}, {"TESTING?", {"1", "0"}}}},
      {"Sequence Load still testing ends by its ten-second budget",
       {{"Sequence Load", {{kColMode, "CP"}, {kColTotalStep, "0"}}}},
       {{"TESTING?", {"1"}}}},
      {"Battery Discharge time stop comes one tick after the load's",
       {{"Battery Discharge CC", kBatteryCc}},
       {{"MEAS:VC?", {"12,2"}}, {"TESTING?", {"0"}}}},
      {"Battery Discharge CP tells the load its watt-hour limit",
       {{"Battery Discharge CP", kBatteryCp}},
       {}},
      {"unknown and empty functions are skipped with a notice",
       {{"Discharg", {{kColTStop, "5"}}}, {""}, {"Short", kRest1}},
       {{"MEAS:VC?", {"0,20"}}}},
      {"FOR 3 runs the block three times",
       {{"FOR", {{kColTimes, "3"}}}, {"Normal", kNormal}, {"Rest", kRest1}, {"LOOP"}},
       {}},
  };
  std::string all;
  for (const Scenario& c : cases) {
    all += Transcript(c);
  }
  EXPECT_EQ(all, Golden("transcripts.txt"));
}

TEST(RunnerBasic, RunAgainClearsTheLogAndStartsFromTheFirstRow) {
  RunnerBench b;
  b.Load({{"Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "5"}}},
          {"Rest", {{kColTStop, "5"}}}});
  b.Run();
  b.Ticks(7);
  ASSERT_EQ(b.state.currentRow, 2);
  b.TakeLines();
  b.Run();
  EXPECT_EQ(b.log.RowCount(), 0u);
  EXPECT_EQ(b.log.NextResultRow(), 1);
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("MODE CC", "CC:HIGH 1", "CC:LOW 1", "LOAD ON", "MEAS:VC?"));
  // The row that was running turns white when row 1 is shown again.
  EXPECT_EQ(b.observer.events.back(), (Event{"row", "", 0, 0}));
  EXPECT_EQ(b.observer.events[b.observer.events.size() - 2], (Event{"start", "", 1, 2}));
}

}  // namespace
}  // namespace kv::test
