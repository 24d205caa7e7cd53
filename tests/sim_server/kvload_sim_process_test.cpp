#include <signal.h>

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace kv {
namespace {

// The program as scripts use it: ready line on stdout, a clean end on a
// signal with the log complete.
class KvloadSimProcess : public ::testing::TestWithParam<int> {};

TEST_P(KvloadSimProcess, PrintsItsReadyLineAndEndsCleanlyOnASignal) {
  QTemporaryDir dir;
  const QString log = dir.filePath("sim.log");
  QProcess sim;
  sim.start(QStringLiteral(KV_BIN_DIR "/kvload-sim"),
            {"--port", "0", "--log", log, "--fail-on-error"});
  ASSERT_TRUE(sim.waitForStarted(5000));
  ASSERT_TRUE(sim.waitForReadyRead(5000));
  const QString ready = QString::fromLocal8Bit(sim.readLine()).trimmed();
  ASSERT_TRUE(ready.startsWith("kvload-sim ready tcp=127.0.0.1:")) << ready.toStdString();
  EXPECT_TRUE(ready.contains(" serial=/dev/")) << ready.toStdString();
  const quint16 port = ready.section(':', 1).section(' ', 0, 0).toUShort();

  QTcpSocket client;
  client.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(client.waitForConnected(2000));
  client.write("LOAD OFF\r\nname?\r\n");
  ASSERT_TRUE(client.waitForReadyRead(2000));

  ::kill(static_cast<pid_t>(sim.processId()), GetParam());
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(sim.exitCode(), 0);
  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("\tRX\tLOAD OFF\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\tTX\tKVLOAD-SIM 100G\n")) << text.toStdString();
  EXPECT_TRUE(sim.readAllStandardError().contains("2 lines received, 0 rejected"));
}

INSTANTIATE_TEST_SUITE_P(Signals, KvloadSimProcess, ::testing::Values(SIGINT, SIGTERM));

TEST(KvloadSimProcess, RejectedLinesFailTheExitStatusWhenAsked) {
  QProcess sim;
  sim.start(QStringLiteral(KV_BIN_DIR "/kvload-sim"),
            {"--port", "0", "--no-serial", "--fail-on-error"});
  ASSERT_TRUE(sim.waitForReadyRead(5000));
  const QString ready = QString::fromLocal8Bit(sim.readLine()).trimmed();
  QTcpSocket client;
  client.connectToHost(QHostAddress::LocalHost, ready.section(':', 1).toUShort());
  ASSERT_TRUE(client.waitForConnected(2000));
  client.write("LAOD ON\r\nTESTING?\r\n");
  ASSERT_TRUE(client.waitForReadyRead(2000));
  sim.terminate();
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitCode(), 1);
  EXPECT_TRUE(sim.readAllStandardError().contains("unknown command: LAOD ON"));
}

TEST(KvloadSimProcess, BadOptionsGiveStatusTwo) {
  QProcess sim;
  sim.start(QStringLiteral(KV_BIN_DIR "/kvload-sim"), {"--port", "99999"});
  ASSERT_TRUE(sim.waitForFinished(5000));
  EXPECT_EQ(sim.exitCode(), 2);
  EXPECT_TRUE(sim.readAllStandardError().contains("--port"));
}

}  // namespace
}  // namespace kv
