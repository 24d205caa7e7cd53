// Stopping kvload-run while it connects, starts that find no load, its
// standard descriptors as launchers hand them over, and the command-line
// conventions both programs share (the table of refusals runs in-process in
// tests/headless).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>

#include "e2e/e2e_processes.h"
#include "link/message_sink.h"

namespace kv::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

// Nothing listens, so the connect keeps retrying until its bound; a signal
// must not wait that out, nor report a link failure for a link that never was.
TEST(SignalStopTest, SignalWhileConnectingLeavesAtOnce) {
  QTemporaryDir dir;
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const QString lan = "127.0.0.1:" + QString::number(closed.serverPort());
  closed.close();
  QProcess run;
  run.setReadChannel(QProcess::StandardError);
  ASSERT_TRUE(StartKvloadRun(run, {"--lan", lan, WriteStepFile(dir, {"1,Rest,,,0,5,0"})}));
  QByteArray err;
  ASSERT_TRUE(ReadUntil(run, err, [](const QByteArray& e) {
    return e.contains("connecting over");
  })) << err.toStdString();
  QDeadlineTimer connecting(300);  // inside the identification's connect by then
  while (!connecting.hasExpired()) {
    run.waitForReadyRead(static_cast<int>(connecting.remainingTime()));
  }
  const QDeadlineTimer gone(1000);
  ASSERT_EQ(::kill(static_cast<pid_t>(run.processId()), SIGINT), 0);
  ASSERT_TRUE(run.waitForFinished(10000));
  EXPECT_FALSE(gone.hasExpired()) << "took more than a second to leave";
  EXPECT_EQ(run.exitCode(), 3);
  err += run.readAllStandardError();
  EXPECT_EQ(err.count("nothing was connected"), 1) << err.toStdString();
  EXPECT_THAT(err.toStdString(), Not(HasSubstr(std::string(kLostConnectMessage))));
  EXPECT_THAT(err.toStdString(), Not(HasSubstr(std::string(kConnectFailMessage))));
}

// Standard descriptors as launchers and shells hand them over.
void StdoutOnFullDisk() {
  ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
}
void StdoutToGoneReader() {
  int pipeFds[2];
  if (::pipe(pipeFds) == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
  }
}

// The load is mid-run whatever happens to the program's streams: the list
// runs to its end and "LOAD OFF" is the last line; only the exit status says
// that the report went nowhere.
TEST(StandardStreamsTest, RunEndsWithLoadOffWhateverItsDescriptors) {
  const struct {
    void (*inChild)();
    int exitCode;
  } cases[] = {
      {[] { ::close(STDIN_FILENO), ::close(STDERR_FILENO); }, 0},
      {[] { ::close(STDOUT_FILENO); }, 2},
      {StdoutOnFullDisk, 2},
      {StdoutToGoneReader, 2},
  };
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, {"1,Rest,,,0,1,0"});
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    SimProcess sim;
    ASSERT_EQ(sim.Start({}), "");
    const RunOutcome run = RunProgram("kvload-run", sim.LinkArguments() << list, c.inChild);
    sim.Stop();
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    EXPECT_EQ(sim.Log("RX").value(sim.Log("RX").size() - 1), "LOAD OFF");
    EXPECT_EQ(run.err.count("standard output was lost"), c.exitCode == 0 ? 0 : 1);
    EXPECT_EQ(RowNumberingProblem(run.lines()), c.exitCode == 0 ? "" : "no report header");
  }
}

// Both programs share -h, -V and the wording and status of a refusal, and
// say so on the stream a script reads; %1 is the program.
TEST(UsageTest, BothProgramsAnswerTheSameOptionsTheSameWay) {
  const struct {
    QStringList args;
    int exitCode;
    QString outStart;  // empty: nothing on standard output
    QString err;
    void (*inChild)() = nullptr;
  } cases[] = {
      {{"-V"}, 0, "%1 ", ""},
      {{"-h"}, 0, "Usage: %1 ", ""},
      {{"--bogus"}, 2, "", "%1: unknown option \"--bogus\"\nTry '%1 --help'.\n"},
      {{"-V"}, 2, "", "%1: standard output was lost (No space left on device)\n", StdoutOnFullDisk},
      {{"--help"}, 2, "", "%1: standard output was lost (Broken pipe)\n", StdoutToGoneReader},
  };
  for (const QString program : {"kvload-run", "kvload-sim"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE((program + ' ' + c.args.join(' ')).toStdString());
      const RunOutcome run = RunProgram(program, c.args, c.inChild);
      EXPECT_EQ(run.exitCode, c.exitCode);
      EXPECT_EQ(run.err, QString(c.err).replace("%1", program));
      const QString outStart = QString(c.outStart).replace("%1", program);
      EXPECT_EQ(run.out.left(outStart.size()), outStart);
      EXPECT_EQ(run.out.isEmpty(), outStart.isEmpty()) << run.out.toStdString();
    }
  }
}

// Why a run could not start is one line, not the link's stacked messages.
// The program runs from a folder of its own with no settings file beside it,
// so without a connection option it must refuse before opening anything.
TEST(UsageTest, AnUnstartedRunSaysWhyInOneLine) {
  QTemporaryDir dir;
  const QString program = dir.filePath("kvload-run");
  ASSERT_TRUE(QFile::copy(KV_BIN_DIR "/kvload-run", program));
  QTcpServer silent;  // accepts and never answers
  QTcpServer closed;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost) && closed.listen(QHostAddress::LocalHost));
  const QString silentLan = "127.0.0.1:" + QString::number(silent.serverPort());
  const QString closedLan = "127.0.0.1:" + QString::number(closed.serverPort());
  closed.close();
  const struct {
    QStringList args;
    int exitCode;
    QString says;
  } cases[] = {
      {{"--lan", closedLan, "--connect-timeout", "0.2"},
       4,
       "cannot connect over LAN " + closedLan + ": refused (Connection refused); the run"},
      {{"--lan", silentLan},
       4,
       "connected over LAN " + silentLan + ", but the load gave no reply to \"name?\"; the run"},
      {{}, 2, "name a load: --lan, --serial, --gpib, --sim or a settings file"},
  };
  for (const auto& c : cases) {
    const RunOutcome run =
        RunKvloadRun(c.args + QStringList{WriteStepFile(dir, {"1,Rest,,,0,1,0"})}, program);
    const std::string err = run.err.toStdString();
    EXPECT_EQ(run.exitCode, c.exitCode) << err;
    EXPECT_THAT(err, Not(ContainsRegex("Connect Fail!|Lost Connect!")));
    EXPECT_THAT(err, HasSubstr(c.says.toStdString()));
    EXPECT_EQ(run.out.isEmpty(), c.exitCode == 2) << run.out.toStdString();
  }
}

}  // namespace
}  // namespace kv::test
