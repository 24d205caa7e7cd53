// The LAN measurement poll, and halts that arrive while a tick waits.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

/// Records the bound the runner passes to the LAN wait.
class BoundRecordingInstrument : public ScriptedInstrument {
 public:
  using ScriptedInstrument::ScriptedInstrument;
  std::string WaitRecvBuf(int timeoutMs) override {
    bounds.push_back(timeoutMs);
    return ScriptedInstrument::WaitRecvBuf(timeoutMs);
  }
  std::vector<int> bounds;
};

TEST(RunnerLan, RepliesFillCellsAndTheRawReplyList) {
  struct Case {
    const char* name;
    const char* reply;
    const char* voltage;
    const char* current;
    bool kept;
  };
  const Case cases[] = {
      {"two fields", "12.01,1.5", "12.01", "1.5", true},
      {"extra fields", "12,1.5,OK", "12", "1.5", true},
      {"one field", "12.01", "", "", false},
      {"no reply within the bound", "", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunnerBenchOn<BoundRecordingInstrument> b(kModeLan);
    b.Load({{"Rest", {{kColTStop, "5"}}}}, {{"MEAS:VC?", {c.reply}}});
    b.Run();
    EXPECT_TRUE(b.Tick().reenableTimer);
    EXPECT_THAT(b.link.bounds, ElementsAre(kReplyWaitMs));
    ASSERT_EQ(b.log.RowCount(), 1u);
    EXPECT_EQ(b.log.Cell(0, 2), c.voltage);
    EXPECT_EQ(b.log.Cell(0, 3), c.current);
    // A reply the poll could not use stays where it is.
    EXPECT_EQ(b.link.RecvBuf(), c.kept ? "" : c.reply);
    EXPECT_THAT(b.state.lanReplies, ElementsAreArray(c.kept ? Lines{c.reply} : Lines{}));
  }
}

TEST(RunnerLan, RawRepliesAccumulateAndRunClearsThem) {
  RunnerBench b(kModeLan);
  b.Load({{"Rest", {{kColTStop, "3"}}}}, {{"MEAS:VC?", {"12,0", "11.9,0", "11.8,0", "11.7,0"}}});
  b.Run();
  b.RunToEnd();
  EXPECT_THAT(b.state.lanReplies, ElementsAre("12,0", "11.9,0", "11.8,0", "11.7,0"));
  b.Run();
  EXPECT_TRUE(b.state.lanReplies.empty());

  // A long run keeps only the latest replies.
  Lines replies;
  for (int i = 0; i < 1'006; ++i) {
    replies.push_back(std::to_string(i) + ",0");
  }
  b.grid.SetCell(1, kColTStop, "1005");
  b.link.ReplySequence("MEAS:VC?", replies);
  b.Run();
  b.RunToEnd();
  ASSERT_EQ(b.state.lanReplies.size(), 1'000u);
  EXPECT_EQ(b.state.lanReplies.front(), "6,0");
  EXPECT_EQ(b.state.lanReplies.back(), "1005,0");
}

// Stop pressed inside a tick (at a write, a read or in the host's row
// handler) or between ticks: its line goes out at once, nothing of the tick
// follows it, and the run stays stopped.
TEST(RunnerHalt, StopStaysInForceWhereverItArrives) {
  struct Case {
    std::vector<Step> steps;
    Script replies;
    int quietTicks;
    std::string pressAt;  // "write X", "read X", "row"; empty: between ticks
    Lines lines;
    std::size_t rows;
  };
  const Cells normal = {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}};
  const std::vector<Step> twoNormals = {{"Normal", normal}, {"Normal", normal}};
  const std::vector<Step> ocp = {{"OCP", {{kColLimitLow, "1"}, {kColLimitHigh, "5"}}}};
  const Script ocpEnds = {{"TESTING?", {"1", "0"}}, {"NG?", {"0"}}, {"OCP?", {"3"}}};
  const std::vector<Step> dynamic = {{"Dynamic", {{kColMode, "CC"}, {kColTStop, "5"}}}};
  const std::vector<Step> sequence = {{"Sequence Load", {{kColMode, "CC"}}}};
  const std::vector<Step> rest = {{"Rest", {{kColTStop, "3"}}}};
  const Case cases[] = {
      // The second tick's poll would see the time stop and start step 2.
      {twoNormals, {}, 1, "read MEAS:VC?", {"MEAS:VC?", "LOAD OFF"}, 1},
      {ocp, ocpEnds, 1, "read NG?", {"MEAS:VC?", "TESTING?", "NG?", "LOAD OFF"}, 1},
      // "LOAD ON" and "DYN ON" must not follow the Stop.
      {dynamic, {}, 0, "write MODE CC", {"MODE CC", "LOAD OFF"}, 0},
      {sequence, {{"TESTING?", {"1"}}}, 1, "", {"SEQLD:TEST OFF"}, 1},
      {rest, {}, 0, "", {"LOAD OFF"}, 0},
      {rest, {}, 0, "row", {"LOAD OFF", "MEAS:VC?", "LOAD OFF"}, 1},
  };
  for (const std::int16_t mode : {kModeSerial, kModeLan}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.steps.front().function + " " + c.pressAt + " " + std::to_string(mode));
      RunnerBench b(mode);
      b.Load(c.steps, c.replies);
      b.Run();
      b.Ticks(c.quietTicks);
      b.TakeLines();
      bool pressed = false;
      const auto press = [&](const std::string& at) {
        if (!pressed && at == c.pressAt) {
          pressed = true;
          StopCommand(b.state, b.link);
        }
      };
      b.link.OnWrite([&](std::string_view line) { press("write " + std::string(line)); });
      b.link.OnRead([&](std::string_view query) { press("read " + std::string(query)); });
      b.observer.onEvent = [&](const Event& e) { press(e.kind); };
      press("");
      EXPECT_FALSE(b.Tick().reenableTimer);
      EXPECT_THAT(b.TakeLines(), ElementsAreArray(c.lines));
      EXPECT_EQ(b.log.RowCount(), c.rows);
      EXPECT_FALSE(b.state.running);
      EXPECT_FALSE(b.Tick().reenableTimer);
      EXPECT_TRUE(b.TakeLines().empty());
    }
  }
}

TEST(RunnerHalt, RunDuringAWaitAbandonsTheOldTick) {
  RunnerBench b;
  b.Load({{"Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}}},
          {"Rest", {{kColTStop, "1"}}}});
  b.Run();
  b.Tick();
  b.TakeLines();
  bool pressed = false;
  b.link.OnRead([&](std::string_view) {
    if (!pressed) {
      pressed = true;
      b.Run();
    }
  });
  // The new run owns the timer; the old tick neither logs nor advances.
  EXPECT_FALSE(b.Tick().reenableTimer);
  EXPECT_TRUE(b.timerOn);
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?"));
  EXPECT_EQ(b.log.RowCount(), 0u);
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("MODE CC", "CC:HIGH 1", "CC:LOW 1", "LOAD ON", "MEAS:VC?"));
  EXPECT_EQ(b.Cell(0, 0), "1");
}

}  // namespace
}  // namespace kv::test
