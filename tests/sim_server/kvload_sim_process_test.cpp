#include <signal.h>

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace kv {
namespace {

// The program as scripts use it: ready line on stdout, a clean end on a
// signal with the log complete, and a status that tells of rejected lines.
struct Ending {
  int signal;
  const char* sent;
  int exitCode;
  const char* logged;
  const char* stderrText;
};

class KvloadSimProcess : public ::testing::TestWithParam<Ending> {};

TEST_P(KvloadSimProcess, PrintsItsReadyLineAndEndsCleanlyOnASignal) {
  const Ending& e = GetParam();
  QTemporaryDir dir;
  const QString log = dir.filePath("sim.log");
  QProcess sim;
  sim.start(QStringLiteral(KV_BIN_DIR "/kvload-sim"),
            {"--port", "0", "--log", log, "--fail-on-error"});
  ASSERT_TRUE(sim.waitForReadyRead(5000));
  const QString ready = QString::fromLocal8Bit(sim.readLine()).trimmed();
  ASSERT_TRUE(ready.startsWith("kvload-sim ready tcp=127.0.0.1:")) << ready.toStdString();
  EXPECT_TRUE(ready.contains(" serial=/dev/")) << ready.toStdString();

  QTcpSocket client;
  client.connectToHost(QHostAddress::LocalHost,
                       ready.section(':', 1).section(' ', 0, 0).toUShort());
  ASSERT_TRUE(client.waitForConnected(2000));
  client.write(e.sent);
  ASSERT_TRUE(client.waitForReadyRead(2000));

  ::kill(static_cast<pid_t>(sim.processId()), e.signal);
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitCode(), e.exitCode);
  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("\tRX\t" + QByteArray(e.sent).split('\r').first() + "\n"));
  EXPECT_TRUE(text.contains(e.logged)) << text.toStdString();
  EXPECT_TRUE(sim.readAllStandardError().contains(e.stderrText));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, KvloadSimProcess,
    ::testing::Values(Ending{SIGINT, "LOAD OFF\r\nname?\r\n", 0, "\tTX\tKVLOAD-SIM 100G\n",
                             "2 lines received, 0 rejected"},
                      Ending{SIGTERM, "LAOD ON\r\nTESTING?\r\n", 1,
                             "\tERR\tunknown command: LAOD ON\n", "unknown command: LAOD ON"}));

TEST(KvloadSimProcess, BadOptionsGiveStatusTwo) {
  QProcess sim;
  sim.start(QStringLiteral(KV_BIN_DIR "/kvload-sim"), {"--port", "99999"});
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitCode(), 2);
  EXPECT_TRUE(sim.readAllStandardError().contains("--port"));
}

}  // namespace
}  // namespace kv
