// kvload-run against a load that misbehaves: the run must neither crash nor
// hang, its rows stay numbered without gaps, and the exit status says whether
// the load was there.
#include <gmock/gmock.h>

#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

const std::vector<std::string> kThreeSeconds = {"1,Discharge,CC,1,0,3,0"};

// The run of kThreeSeconds on a load that answers every query.
const QStringList kThreeSecondLines = {
    "REM",      "name?",    "MODE CC",  "CC:HIGH 1", "LOAD ON",  "MEAS:VC?",
    "MEAS:VC?", "MEAS:VC?", "MEAS:VC?", "LOAD OFF",  "LOAD OFF",
};

struct FaultCase {
  const char* name;
  QStringList simArgs;
  int exitCode;
  // The load still receives the whole run, line for line.
  bool allLines;
  const char* stderrHas;
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class FaultyLoadTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultyLoadTest, RunEndsSensibly) {
  const FaultCase& c = GetParam();
  SimProcess sim;
  QStringList simArgs = c.simArgs;
  simArgs << "--no-serial";
  ASSERT_TRUE(sim.Start(simArgs)) << sim.Error().toStdString();
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, "three.tsf", kThreeSeconds);

  const RunOutcome run = RunKvloadRun({"--lan", sim.LanArgument(), list});
  sim.Stop();

  EXPECT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.out.toStdString() << run.err.toStdString();
  QString why;
  EXPECT_TRUE(RowsNumberedWithoutGaps(run.lines(), &why)) << why.toStdString() << "\n"
                                                          << run.out.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr(c.stderrHas));
  if (c.allLines) {
    EXPECT_THAT(sim.ReceivedLines(), ElementsAreArray(kThreeSecondLines));
  }
  // Whatever went wrong, a load that was switched on is left switched off.
  if (sim.ReceivedLines().contains("LOAD ON")) {
    EXPECT_EQ(sim.ReceivedLines().last(), "LOAD OFF")
        << sim.ReceivedLines().join('|').toStdString();
  }
  EXPECT_TRUE(sim.RejectedLines().isEmpty()) << sim.RejectedLines().join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyLoadTest,
    ::testing::Values(
        // Replies well within the one-second bound change nothing.
        FaultCase{"SlowReplies", {"--reply-delay", "300"}, 0, true, "Test Finished"},
        // A reply in three pieces is still one reply.
        FaultCase{"SplitReplies",
                  {"--split-replies", "3", "--split-delay", "40"},
                  0,
                  true,
                  "Test Finished"},
        // Junk is a reply: the run goes on, reading it as the desktop would.
        FaultCase{"GarbageReplies", {"--garbage-every", "2"}, 0, true, "Test Finished"},
        // Every reply is junk: no tick has a measurement, so after three the
        // load counts as lost, is reached again to be turned off, and the run ends.
        FaultCase{
            "JunkOnly", {"--garbage-every", "1"}, 4, false, "measurements in a row were missing"},
        // The connection goes away at the second poll of the discharge: the
        // load is reached again once to turn it off, the run ends there, and
        // the exit status tells a script that the load was lost.
        FaultCase{"LostConnectionMidStep", {"--drop-after", "7"}, 4, false, "Lost Connect!"},
        // The load goes quiet after the first poll but still hears every
        // line: the run goes on to its end, and the status says the load
        // was gone.
        FaultCase{"LoadFallsSilent", {"--silent-after", "6"}, 4, true, "unanswered"},
        // No reply to "name?": the run is not started at all.
        FaultCase{"SilentLoad", {"--silent"}, 4, false, "no reply to \"name?\""}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return std::string(param.param.name); });

TEST(FaultyLoadTest, SilentLoadIsSentNothingAfterTheIdentification) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--no-serial", "--silent"})) << sim.Error().toStdString();
  QTemporaryDir dir;
  const RunOutcome run =
      RunKvloadRun({"--lan", sim.LanArgument(), WriteStepFile(dir, "t.tsf", kThreeSeconds)});
  sim.Stop();
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_EQ(run.lines().size(), 1) << run.out.toStdString();
  EXPECT_THAT(sim.ReceivedLines(), ElementsAreArray({"REM", "name?"}));
}

TEST(FaultyLoadTest, LostConnectionIsReportedOnceAndCounted) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--no-serial", "--drop-after", "7"})) << sim.Error().toStdString();
  QTemporaryDir dir;
  const RunOutcome run =
      RunKvloadRun({"--lan", sim.LanArgument(), WriteStepFile(dir, "t.tsf", kThreeSeconds)});
  sim.Stop();
  ASSERT_EQ(run.exitCode, 4) << run.err.toStdString();
  // Every write while the link is down says so; a terminal full of the same
  // line helps nobody.
  EXPECT_EQ(run.err.count("Lost Connect!\n"), 1) << run.err.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("Link lost: the load was reached again"));
  // The load saw the run up to the line it hung up on; reached again, it was
  // turned off and the run ended there.
  EXPECT_THAT(sim.ReceivedLines(),
              ElementsAreArray({"REM", "name?", "MODE CC", "CC:HIGH 1", "LOAD ON", "MEAS:VC?",
                                "MEAS:VC?", "REM", "LOAD OFF"}));
  EXPECT_THAT(run.err.toStdString(), Not(HasSubstr("Connect Fail!")));
}

TEST(FaultyLoadTest, SerialLineHungUpMidStep) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--no-tcp", "--drop-after", "7"})) << sim.Error().toStdString();
  QTemporaryDir dir;
  const RunOutcome run = RunKvloadRun(
      {"--serial", sim.PtyPath(), "--handshake", "0", WriteStepFile(dir, "t.tsf", kThreeSeconds)});
  sim.Stop();
  EXPECT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
  // The serial side has no message of its own for a hang-up; the silence
  // that follows is what gives it away.
  EXPECT_THAT(run.err.toStdString(), HasSubstr("unanswered"));
  QString why;
  EXPECT_TRUE(RowsNumberedWithoutGaps(run.lines(), &why)) << why.toStdString();
  EXPECT_EQ(run.lines().size(), 4) << run.out.toStdString();
}

TEST(FaultyLoadTest, NoLoadListeningIsUnreachable) {
  // Port 1 on the loopback: refused at once, every time.
  QTemporaryDir dir;
  const RunOutcome run = RunKvloadRun(
      {"--lan", "127.0.0.1:1", "--quiet", WriteStepFile(dir, "t.tsf", kThreeSeconds)}, 30000);
  EXPECT_EQ(run.exitCode, 4) << run.err.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("Connect Fail!"));
  EXPECT_EQ(run.lines().size(), 1);
}

}  // namespace
}  // namespace kv::test
