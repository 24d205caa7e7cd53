// Stopping kvload-run while it connects, and starts that are refused or find
// no load, as a process (the table of refusals runs in-process in
// tests/headless).
#include <signal.h>

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

TEST(UsageTest, RefusedCommandLineGivesStatusTwoAndNoReport) {
  const RunOutcome run = RunKvloadRun({"--bogus", "--sim", "x.tsf"});
  EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("kvload-run: unknown option \"--bogus\""));
  EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
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
