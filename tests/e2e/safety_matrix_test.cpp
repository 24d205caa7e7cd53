// The safety matrix: every way a run of kvload-run ends while the load is
// reachable leaves the load switched off, and promptly. What the simulator
// received last, stamped with the wall clock, is the proof. (Closing the
// window and saving the log during a run are covered with the desktop
// program in tests/ui.)
#include <signal.h>

#include <gmock/gmock.h>

#include <QDateTime>
#include <QFile>

#include "e2e/broker_process.h"
#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::HasSubstr;

struct SafetyCase {
  const char* name;
  QStringList simArgs = {};
  QStringList runArgs = {};
  std::vector<std::string> steps = {"1,Discharge,CC,1,0,60,0"};
  int signalNumber = 0;     // 0: the run ends by itself
  bool remoteStop = false;  // "stop" from the lab's broker instead of a signal
  const char* stderrHas = "";
  int exitCode = 3;
  const char* lastLine = "LOAD OFF";
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const SafetyCase& c, std::ostream* os) {
  *os << c.name;
}

class SafetyMatrixTest : public ::testing::TestWithParam<SafetyCase> {};

TEST_P(SafetyMatrixTest, LoadIsSwitchedOffLast) {
  const SafetyCase& c = GetParam();
  QTemporaryDir dir;
  const QString rxLog = dir.filePath("rx.log");
  SimProcess sim;
  ASSERT_EQ(sim.Start(c.simArgs + QStringList{"--verbose", "--rx-log", rxLog}), "");
  BrokerProcess broker;
  QStringList publish;
  if (c.remoteStop) {
    ASSERT_EQ(broker.Start(), "");
    publish = {"--publish", broker.Url(), "--bench", "m", "--remote-stop"};
  }
  QProcess run;
  ASSERT_TRUE(StartKvloadRun(
      run, sim.LinkArguments() + c.runArgs + publish << "--quiet" << WriteStepFile(dir, c.steps)));

  const QByteArray offLine = QByteArray("RX\t") + c.lastLine;
  qsizetype offsBefore = 0;
  qint64 sentMs = 0;
  if (c.signalNumber != 0 || c.remoteStop) {
    QByteArray out;
    ASSERT_TRUE(ReadUntil(run, out, [](const QByteArray& o) { return o.count('\n') >= 2; }));
    offsBefore = sim.Stderr().count(offLine);
    sentMs = QDateTime::currentMSecsSinceEpoch();
    ASSERT_TRUE(c.remoteStop ? PublishTo(broker.Port(), "kvload/m/command", "stop")
                             : ::kill(static_cast<pid_t>(run.processId()), c.signalNumber) == 0);
  }
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  const std::string err = run.readAllStandardError().toStdString();
  EXPECT_EQ(run.exitCode(), c.exitCode) << err;
  EXPECT_THAT(err, HasSubstr(c.stderrHas));
  // kvload-run has gone; the line reached the load by then, though the
  // simulator may take a moment to log it.
  EXPECT_TRUE(sim.WaitForStderr(offLine, offsBefore + 1)) << sim.Stderr().toStdString();
  sim.Stop();

  // "1796602869354<TAB>LOAD OFF": the last record is what the load did last.
  QFile file(rxLog);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> last = file.readAll().trimmed().split('\n').last().split('\t');
  EXPECT_EQ(last.value(1), c.lastLine) << sim.Log("RX").join('|').toStdString();
  if (sentMs != 0) {
    EXPECT_LE(last.value(0).toLongLong() - sentMs, kOffAfterSignalMs);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, SafetyMatrixTest,
    ::testing::Values(
        SafetyCase{.name = "EndOfList", .steps = {"1,Discharge,CC,1,0,2,0"}, .exitCode = 0},
        SafetyCase{.name = "Interrupt", .signalNumber = SIGINT, .stderrHas = "SIGINT: stopping"},
        SafetyCase{.name = "Terminate", .signalNumber = SIGTERM, .stderrHas = "SIGTERM: stopping"},
        // The lab stops the bench through its broker.
        SafetyCase{.name = "RemoteStop", .remoteStop = true, .stderrHas = "remote stop: stopping"},
        // A CI job's budget ran out.
        SafetyCase{.name = "Timeout", .runArgs = {"--timeout", "2"}, .stderrHas = "--timeout"},
        // The terminal or SSH session went away.
        SafetyCase{.name = "Hangup", .signalNumber = SIGHUP, .stderrHas = "SIGHUP: stopping"},
        // Most of each tick waits for the reply, so the signal is likely to
        // land inside a wait.
        SafetyCase{.name = "InterruptDuringSlowReply",
                   .simArgs = {"--reply-delay", "700"},
                   .signalNumber = SIGINT},
        // The connection drops mid-step; the load is reached again once to be
        // switched off.
        SafetyCase{.name = "LinkLostAndRegained", .simArgs = {"--drop-after", "7"}, .exitCode = 4},
        // The load runs a sequence by itself: it is stopped by its own word.
        SafetyCase{.name = "SequenceStopped",
                   .steps = {"1,Sequence Load,CC,,,,,,,,,,,,,,,,,,0,,,;1,;60000,1"},
                   .signalNumber = SIGINT,
                   .lastLine = "SEQLD:TEST OFF"}),
    [](const ::testing::TestParamInfo<SafetyCase>& param) {
      return std::string(param.param.name);
    });

}  // namespace
}  // namespace kv::test
