// The fault matrix: kvload-run against loads, links and files that misbehave.
// Whatever goes wrong, the run neither crashes nor hangs, its rows stay
// numbered without gaps, it says what happened, and no file it was pointed at
// is replaced by less than it held.
#include <gmock/gmock.h>

#include <algorithm>
#include <random>

#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// The run of a three-second discharge on a load that answers every query.
const QStringList kWholeRun = {
    "REM",      "name?",    "MODE CC",  "CC:HIGH 1", "LOAD ON",  "MEAS:VC?",
    "MEAS:VC?", "MEAS:VC?", "MEAS:VC?", "LOAD OFF",  "LOAD OFF",
};

struct FaultCase {
  const char* name;
  QStringList simArgs = {};
  int exitCode;
  const char* stderrHas;
  // What the load receives, line for line; empty: not checked.
  QStringList received = {};
  bool overPty = false;
  // A step of random bytes instead of the discharge.
  bool junkList = false;
  // False where the load cannot be reached again to be switched off.
  bool loadReachable = true;
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

QString WriteList(const QTemporaryDir& dir, bool junk) {
  std::string row = "1,Discharge,CC,1,0,3,0";
  if (junk) {
    std::mt19937 gen(14);  // the same bytes on every run, so a failure repeats
    row.resize(4096);
    std::generate(row.begin(), row.end(), [&gen] { return static_cast<char>(gen() & 0xffu); });
  }
  return WriteStepFile(dir, {row});
}

class FaultMatrixTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrixTest, RunEndsSensibly) {
  const FaultCase& c = GetParam();
  SimProcess sim;
  ASSERT_EQ(sim.Start(c.simArgs, c.overPty), "");
  QTemporaryDir dir;
  // A report from an earlier run sits where this one goes: a run that
  // writes nothing must leave it as it was.
  const QByteArray earlier = "NO.,earlier report that must survive\n";
  QFile csv(dir.filePath("report.csv"));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write(earlier);
  csv.close();

  const RunOutcome run =
      RunKvloadRun(sim.LinkArguments() << "--csv" << csv.fileName() << WriteList(dir, c.junkList));
  sim.Stop();

  EXPECT_EQ(run.exitCode, c.exitCode) << run.out.toStdString() << run.err.toStdString();
  EXPECT_EQ(RowNumberingProblem(run.lines()), "") << run.out.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr(c.stderrHas));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QByteArray after = csv.readAll();
  EXPECT_TRUE(after == earlier || after.size() > earlier.size()) << after.toStdString();
  const QStringList received = sim.Log("RX");
  if (!c.received.isEmpty()) {
    EXPECT_THAT(received, ElementsAreArray(c.received));
  }
  // Whatever went wrong, a load that was switched on is left switched off.
  if (c.loadReachable && received.contains("LOAD ON")) {
    EXPECT_EQ(received.last(), "LOAD OFF") << received.join('|').toStdString();
  }
  EXPECT_TRUE(sim.Log("ERR").isEmpty()) << sim.Log("ERR").join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrixTest,
    ::testing::Values(
        // Replies well within the one-second bound change nothing.
        FaultCase{"SlowReplies", {"--reply-delay", "300"}, 0, "Test Finished", kWholeRun},
        // Replies past the bound: the load does not answer in time to be
        // identified, so the run is not started.
        FaultCase{"LateReplies", {"--reply-delay", "1500"}, 4, "no reply to \"name?\""},
        // A reply in three pieces is still one reply.
        FaultCase{"SplitReplies",
                  {"--split-replies", "3", "--split-delay", "40"},
                  0,
                  "Test Finished",
                  kWholeRun},
        // Junk is a reply: the run goes on, reading it as the desktop would.
        FaultCase{"GarbageReplies", {"--garbage-every", "2"}, 0, "Test Finished", kWholeRun},
        // Every reply is junk: no tick has a measurement, so after three the
        // load counts as lost, is reached again to be turned off, and the run ends.
        FaultCase{"JunkOnly", {"--garbage-every", "1"}, 4, "measurements in a row were missing"},
        FaultCase{"JunkOnlyOverSerial",
                  {"--garbage-every", "1"},
                  4,
                  "measurements in a row were missing",
                  {},
                  true},
        // Control characters inside a reply do not change its numbers, and a
        // line feed inside one costs a measurement, never a row.
        FaultCase{"ControlCharacters", {"--control-every", "2"}, 0, "Test Finished", kWholeRun},
        FaultCase{"LineFeedInReply", {"--linefeed-every", "2"}, 0, "Test Finished", kWholeRun},
        // A reply without a line end is cut, not held in memory for ever.
        FaultCase{"EndlessLine", {"--endless-reply", "3"}, 4, "was cut"},
        // The connection goes away at the second poll of the discharge: said
        // once, the load is reached again to turn it off, the run ends there,
        // and the exit status tells a script that the load was lost.
        FaultCase{"LostConnectionMidStep",
                  {"--drop-after", "7"},
                  4,
                  "Discharge\nLost Connect!\nLink lost: the load was reached again",
                  {"REM", "name?", "MODE CC", "CC:HIGH 1", "LOAD ON", "MEAS:VC?", "MEAS:VC?", "REM",
                   "LOAD OFF"}},
        // The serial side has no message of its own for a hang-up; the
        // silence that follows is what gives it away.
        FaultCase{.name = "SerialDeviceVanishes",
                  .simArgs = {"--drop-after", "7"},
                  .exitCode = 4,
                  .stderrHas = "unanswered",
                  .overPty = true,
                  .loadReachable = false},
        // The load goes quiet after the first poll but still hears every
        // line: the run goes on to its end, and the status says the load
        // was gone.
        FaultCase{"LoadFallsSilent", {"--silent-after", "6"}, 4, "unanswered", kWholeRun},
        // No reply to "name?": the run is not started, and nothing more is sent.
        FaultCase{"SilentLoad", {"--silent"}, 4, "no reply to \"name?\"", {"REM", "name?"}},
        // Random bytes make a list of steps nobody can run: each is skipped
        // and said so, and the run ends without switching anything on.
        FaultCase{.name = "RandomBytesList",
                  .exitCode = 0,
                  .stderrHas = "the runner skips this step",
                  .junkList = true}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kv::test
