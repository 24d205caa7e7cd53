// Stopping kvload-run from outside, and one refused start as a process.
#include <signal.h>

#include <gmock/gmock.h>

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include "e2e/e2e_processes.h"
#include "headless/headless_options.h"
#include "link/instrument_link.h"
#include "link/message_sink.h"

namespace kv::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

TEST(SignalStopTest, TermDuringSimulatedRunStopsWithStatusThree) {
  QTemporaryDir dir;
  QProcess run;
  StartKvloadRun(run, {"--sim", WriteStepFile(dir, "long.tsf", {"1,Discharge,CC,1,0,60,0"})});
  ASSERT_TRUE(run.waitForStarted(10000));
  ASSERT_EQ(WaitForFirstRow(run).count('\n'), 2);
  run.terminate();
  ASSERT_TRUE(run.waitForFinished(10000));
  EXPECT_EQ(run.exitCode(), 3);
  EXPECT_THAT(run.readAllStandardError().toStdString(), HasSubstr("SIGTERM"));
}

// Nothing listens, so the connect keeps retrying until its bound; a signal
// must not wait that out, nor report a link failure for a link that never was.
TEST(SignalStopTest, SignalWhileConnectingLeavesAtOnce) {
  QTemporaryDir dir;
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const QString lan = "127.0.0.1:" + QString::number(closed.serverPort());
  closed.close();
  QProcess run;
  StartKvloadRun(run, {"--lan", lan, WriteStepFile(dir, "l.tsf", {"1,Rest,,,0,5,0"})});
  QByteArray err;
  const QDeadlineTimer deadline(10000);
  while (!err.contains("connecting over") && !deadline.hasExpired()) {
    run.waitForReadyRead(100);
    err += run.readAllStandardError();
  }
  ASSERT_TRUE(err.contains("connecting over")) << err.toStdString();
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
  EXPECT_THAT(err.toStdString(), ::testing::Not(HasSubstr(std::string(kLostConnectMessage))));
  EXPECT_THAT(err.toStdString(), ::testing::Not(HasSubstr(std::string(kConnectFailMessage))));
}

// --- usage (the table of refusals runs in-process in tests/headless) ---------------

TEST(UsageTest, RefusedCommandLineGivesStatusTwoAndNoReport) {
  const RunOutcome run = RunKvloadRun({"--bogus", "--sim", "x.tsf"}, 20000);
  EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
  EXPECT_FALSE(run.crashed);
  EXPECT_THAT(run.err.toStdString(), HasSubstr("kvload-run: unknown option \"--bogus\""));
  EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
}

// --- arguments, in-process ------------------------------------------------------

TEST(HeadlessArgumentsTest, SimTakesAModelOnlyWhenAStepFileFollows) {
  HeadlessParse p = ParseHeadlessArguments({"--sim", "demo.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.stepFile, "demo.tsf");
  EXPECT_EQ(p.options.simModel, "");

  p = ParseHeadlessArguments({"--sim", "KV-F100", "--csv", "r.csv", "demo.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.simModel, "KV-F100");
  EXPECT_EQ(p.options.stepFile, "demo.tsf");
  EXPECT_EQ(p.options.csvPath, "r.csv");

  p = ParseHeadlessArguments({"--sim=KV-F100", "demo.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.simModel, "KV-F100");
}

TEST(HeadlessArgumentsTest, ConnectionOptionsOverlayTheIniSettings) {
  LinkSettings ini;
  ini.connectMode = kModeGpib;
  ini.baudRate = 9600;
  ini.comPort = "3";

  HeadlessParse p = ParseHeadlessArguments({"--lan", "10.0.0.7:5025", "x.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  LinkSettings s = ApplyHeadlessLink(p.options, ini);
  EXPECT_EQ(s.connectMode, kModeLan);
  EXPECT_EQ(LanAddressText(s), "10.0.0.7");
  EXPECT_EQ(s.lanPort, 5025);

  p = ParseHeadlessArguments({"--lan=localhost", "x.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  s = ApplyHeadlessLink(p.options, ini);
  EXPECT_EQ(LanAddressText(s), "127.0.0.1");
  EXPECT_EQ(s.lanPort, 4001);

  // Without a connection option the file decides; --baud still applies.
  p = ParseHeadlessArguments({"--baud", "38400", "x.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  s = ApplyHeadlessLink(p.options, ini);
  EXPECT_EQ(s.connectMode, kModeGpib);
  EXPECT_EQ(s.baudRate, 38400);
  EXPECT_EQ(s.comPort, "3");

  p = ParseHeadlessArguments({"--serial", "/dev/ttyUSB0", "--handshake", "0", "x.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  s = ApplyHeadlessLink(p.options, ini);
  EXPECT_EQ(s.connectMode, kModeSerial);
  EXPECT_EQ(s.comPort, "/dev/ttyUSB0");
  EXPECT_EQ(s.handShake, 0);
  EXPECT_EQ(s.baudRate, 9600);

  p = ParseHeadlessArguments({"--gpib", "7", "--", "-odd name.tsf"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.stepFile, "-odd name.tsf");
  EXPECT_EQ(ApplyHeadlessLink(p.options, ini).address, 7);
}

TEST(HeadlessArgumentsTest, MalformedAddressesAreRefused) {
  for (const char* lan : {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "1.2.3.4:", "1.2.3.4:0",
                          "1.2.3.4:x", ":4001", "-1.2.3.4", "1.2.3.+4"}) {
    const HeadlessParse p = ParseHeadlessArguments({"--lan", lan, "x.tsf"});
    EXPECT_FALSE(p.ok) << lan;
  }
}

}  // namespace
}  // namespace kv::test
