// The LAN measurement poll, and halts that arrive while a tick waits.

#include "runner_harness.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

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

struct LanCase {
  const char* name;
  const char* reply;  // nullptr: the load never answers
  const char* voltage;
  const char* current;
  bool kept;
};

TEST(RunnerLan, RepliesFillCellsAndTheRawReplyList) {
  const LanCase cases[] = {
      {"two fields", "12.01,1.5", "12.01", "1.5", true},
      {"extra fields", "12,1.5,OK", "12", "1.5", true},
      {"one field", "12.01", "0", "0", false},
      {"no reply within the bound", nullptr, "0", "0", false},
  };
  for (const LanCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunnerBenchOn<BoundRecordingInstrument> b(kModeLan);
    if (c.reply != nullptr) {
      b.link.Reply("MEAS:VC?", c.reply);
    }
    b.AddStep("Rest", {{kColTStop, "5"}});
    b.Run();
    EXPECT_TRUE(b.Tick().reenableTimer);
    EXPECT_THAT(b.link.bounds, ElementsAre(kReplyWaitMs));
    EXPECT_EQ(kReplyWaitMs, 1000);
    ASSERT_EQ(b.log.RowCount(), 1u);
    EXPECT_EQ(b.log.Cell(0, 2), c.voltage);
    EXPECT_EQ(b.log.Cell(0, 3), c.current);
    if (c.kept) {
      EXPECT_THAT(b.state.lanReplies, ElementsAre(c.reply));
      EXPECT_EQ(b.link.RecvBuf(), "");
    } else {
      EXPECT_TRUE(b.state.lanReplies.empty());
      // A reply the poll could not use stays where it is.
      EXPECT_EQ(b.link.RecvBuf(), c.reply == nullptr ? "" : c.reply);
    }
  }
}

TEST(RunnerLan, RawRepliesAccumulateAndRunClearsThem) {
  RunnerBench b(kModeLan);
  b.AddStep("Rest", {{kColTStop, "3"}});
  b.link.ReplySequence("MEAS:VC?", {"12,0", "11.9,0", "11.8,0", "11.7,0"});
  b.Run();
  b.RunToEnd();
  EXPECT_THAT(b.state.lanReplies, ElementsAre("12,0", "11.9,0", "11.8,0", "11.7,0"));
  b.Run();
  EXPECT_TRUE(b.state.lanReplies.empty());

  // A long run keeps only the latest replies.
  std::vector<std::string> replies;
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

// Stop pressed inside a wait of the tick: its line goes out at once, nothing
// of the tick follows it, and the run stays stopped.
TEST(RunnerHalt, StopDuringTheMeasurementWaitStaysInForce) {
  for (std::int16_t mode : {kModeSerial, kModeLan}) {
    SCOPED_TRACE(mode);
    RunnerBench b(mode);
    b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}});
    b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "2"}, {kColTStop, "1"}});
    b.link.Reply("MEAS:VC?", "12,1");
    b.Run();
    b.Tick();
    b.TakeLines();
    // The second tick's poll would see the time stop and start step 2.
    b.link.OnRead([&](std::string_view) { StopCommand(b.state, b.link); });
    const TickOutcome out = b.Tick();
    EXPECT_FALSE(out.reenableTimer);
    EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?", "LOAD OFF"));
    EXPECT_EQ(b.log.RowCount(), 1u);
    EXPECT_FALSE(b.state.running);
    b.link.OnRead(nullptr);
    EXPECT_FALSE(b.Tick().reenableTimer);
    EXPECT_TRUE(b.TakeLines().empty());
  }
}

TEST(RunnerHalt, StopDuringAnOcpQuerySendsNothingMore) {
  RunnerBench b;
  b.AddStep("OCP", {{kColLimitLow, "1"}, {kColLimitHigh, "5"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.Reply("TESTING?", "0");
  b.link.Reply("NG?", "0");
  b.link.Reply("OCP?", "3");
  b.link.OnRead([&](std::string_view query) {
    if (query == "NG?") {
      StopCommand(b.state, b.link);
    }
  });
  b.Run();
  EXPECT_FALSE(b.Tick().reenableTimer);
  const Lines lines = b.TakeLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "NG?");
  EXPECT_EQ(lines.back(), "LOAD OFF");
  EXPECT_EQ(b.log.RowCount(), 0u);
  EXPECT_EQ(b.state.currentRow, 1);
}

TEST(RunnerHalt, StopDuringAWriteOfTheStepStart) {
  RunnerBench b;
  b.AddStep("Dynamic", {{kColMode, "CC"}, {kColHigh, "2"}, {kColLow, "1"}, {kColTStop, "5"}});
  b.link.Reply("MEAS:VC?", "12,1");
  bool pressed = false;
  b.link.OnWrite([&](std::string_view line) {
    if (line == "MODE CC" && !pressed) {
      pressed = true;
      StopCommand(b.state, b.link);
    }
  });
  b.Run();
  EXPECT_FALSE(b.Tick().reenableTimer);
  // "LOAD ON" and "DYN ON" must not follow the Stop.
  EXPECT_THAT(b.TakeLines(), ElementsAre("MODE CC", "LOAD OFF"));
}

TEST(RunnerHalt, StopSendsSequenceTestOffDuringASequenceLoad) {
  RunnerBench b;
  b.AddStep("Sequence Load", {{kColMode, "CC"}, {kColTotalStep, "0"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.Reply("TESTING?", "1");
  b.Run();
  b.Tick();
  b.TakeLines();
  StopCommand(b.state, b.link);
  EXPECT_THAT(b.TakeLines(), ElementsAre("SEQLD:TEST OFF"));
  EXPECT_FALSE(b.Tick().reenableTimer);
}

TEST(RunnerHalt, StopRightAfterRunSendsLoadOffAndNoTickRuns) {
  RunnerBench b;
  b.AddStep("Rest", {{kColTStop, "3"}});
  b.Run();
  StopCommand(b.state, b.link);
  EXPECT_FALSE(b.Tick().reenableTimer);
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF"));
  EXPECT_EQ(b.log.RowCount(), 0u);
}

TEST(RunnerHalt, RunDuringAWaitAbandonsTheOldTick) {
  RunnerBench b;
  b.AddStep("Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "1"}});
  b.AddStep("Rest", {{kColTStop, "1"}});
  b.link.Reply("MEAS:VC?", "12,1");
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
  const TickOutcome out = b.Tick();
  // The new run owns the timer; the old tick neither logs nor advances.
  EXPECT_FALSE(out.reenableTimer);
  EXPECT_TRUE(b.timerOn);
  EXPECT_THAT(b.TakeLines(), ElementsAre("MEAS:VC?"));
  EXPECT_EQ(b.log.RowCount(), 0u);
  EXPECT_EQ(b.state.currentRow, 1);
  EXPECT_TRUE(b.state.stepPending);
  b.Tick();
  EXPECT_THAT(b.TakeLines(),
              ElementsAre("MODE CC", "CC:HIGH 1", "CC:LOW 1", "LOAD ON", "MEAS:VC?"));
  EXPECT_EQ(b.Cell(0, 0), "1");
}

TEST(RunnerHalt, HaltWithoutStopSendsNothing) {
  RunnerBench b;
  b.AddStep("Rest", {{kColTStop, "3"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.link.OnRead([&](std::string_view) { HaltRunner(b.state); });
  b.Run();
  EXPECT_FALSE(b.Tick().reenableTimer);
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF", "MEAS:VC?"));
}

TEST(RunnerHalt, StopFromTheHostsRowHandlerStaysInForce) {
  struct StopOnRow : RunnerObserver {
    RunnerBench* bench = nullptr;
    void OnRowAdded(std::size_t) override { StopCommand(bench->state, bench->link); }
  } observer;
  RunnerBench b;
  observer.bench = &b;
  b.ctx.observer = &observer;
  b.AddStep("Rest", {{kColTStop, "3"}});
  b.link.Reply("MEAS:VC?", "12,1");
  b.Run();
  EXPECT_FALSE(b.Tick().reenableTimer);
  EXPECT_THAT(b.TakeLines(), ElementsAre("LOAD OFF", "MEAS:VC?", "LOAD OFF"));
  EXPECT_EQ(b.log.RowCount(), 1u);
}

}  // namespace
}  // namespace kv::test
