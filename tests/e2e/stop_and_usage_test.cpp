// Stopping kvload-run from outside, and what it refuses to start with.
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

struct StopCase {
  const char* name;
  QStringList simArgs;
  int signalNumber = SIGINT;
  const char* signalName = "SIGINT";
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const StopCase& c, std::ostream* os) {
  *os << c.name;
}

class SignalStopTest : public ::testing::TestWithParam<StopCase> {};

// A signal in the middle of a long discharge must switch the load off before
// the program is gone: the load is left on otherwise, with nobody watching.
TEST_P(SignalStopTest, LoadIsTurnedOffBeforeExit) {
  SimProcess sim;
  QStringList simArgs = GetParam().simArgs;
  simArgs << "--no-serial"
          << "--verbose";
  ASSERT_TRUE(sim.Start(simArgs)) << sim.Error().toStdString();
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, "long.tsf", {"1,Discharge,CC,1,0,60,0"});
  QProcess run;
  StartKvloadRun(run, {"--lan", sim.LanArgument(), "--quiet", list});
  ASSERT_TRUE(run.waitForStarted(10000));

  // Wait for the first row: the step is running and the load is on.
  QByteArray out;
  const QDeadlineTimer deadline(15000);
  while (out.count('\n') < 2 && !deadline.hasExpired()) {
    run.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    out += run.readAllStandardOutput();
  }
  ASSERT_EQ(out.count('\n'), 2) << out.toStdString();
  ASSERT_TRUE(sim.WaitForStderr("RX\tLOAD ON", 5000)) << sim.Stderr().toStdString();
  ASSERT_EQ(::kill(static_cast<pid_t>(run.processId()), GetParam().signalNumber), 0);

  ASSERT_TRUE(run.waitForFinished(10000));
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(run.exitCode(), 3);
  const QString err = QString::fromUtf8(run.readAllStandardError());
  EXPECT_THAT(err.toStdString(), HasSubstr(GetParam().signalName));
  // kvload-run has gone; the line must have reached the load by then (the
  // simulator may take a moment to print it).
  EXPECT_TRUE(sim.WaitForStderr("RX\tLOAD OFF", 3000));
  sim.Stop();
  const QStringList lines = sim.ReceivedLines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.last(), "LOAD OFF") << lines.join('|').toStdString();
  EXPECT_EQ(lines.count("LOAD OFF"), 1);
}

INSTANTIATE_TEST_SUITE_P(Stops, SignalStopTest,
                         ::testing::Values(StopCase{"PromptLoad", {}},
                                           // Most of each tick waits for the reply, so the signal
                                           // is likely to land inside a wait.
                                           StopCase{"SlowLoad", {"--reply-delay", "700"}},
                                           // The terminal or SSH session went away.
                                           StopCase{"Hangup", {}, SIGHUP, "SIGHUP"}),
                         [](const ::testing::TestParamInfo<StopCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(SignalStopTest, TermDuringSimulatedRunStopsWithStatusThree) {
  QTemporaryDir dir;
  QProcess run;
  StartKvloadRun(run, {"--sim", WriteStepFile(dir, "long.tsf", {"1,Discharge,CC,1,0,60,0"})});
  ASSERT_TRUE(run.waitForStarted(10000));
  QByteArray out;
  const QDeadlineTimer deadline(15000);
  while (out.count('\n') < 2 && !deadline.hasExpired()) {
    run.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    out += run.readAllStandardOutput();
  }
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

// --- usage -------------------------------------------------------------------

struct UsageCase {
  const char* name;
  QStringList args;  // "@list" stands for a valid step file
  const char* stderrHas;
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const UsageCase& c, std::ostream* os) {
  *os << c.name;
}

class UsageErrorTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrorTest, ExitsWithTwoAndSaysWhy) {
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, "ok.tsf", {"1,Rest,,,0,1,0"});
  QStringList args;
  for (const QString& a : GetParam().args) {
    args << (a == "@list" ? list : a == "@dir" ? dir.path() : a);
  }
  const RunOutcome run = RunKvloadRun(args, 20000);
  EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
  EXPECT_FALSE(run.crashed);
  EXPECT_THAT(run.err.toStdString(), HasSubstr(GetParam().stderrHas));
  // Nothing that looks like a report: a script must not mistake it for one.
  EXPECT_THAT(run.out.toStdString(), ::testing::Not(HasSubstr("NO.,")));
}

INSTANTIATE_TEST_SUITE_P(
    Usage, UsageErrorTest,
    ::testing::Values(
        UsageCase{"UnknownOption", {"--bogus", "@list"}, "unknown option \"--bogus\""},
        UsageCase{"NoStepFile", {"--sim"}, "no step file"},
        UsageCase{"TwoStepFiles", {"--sim", "@list", "@list", "@list"}, "one step file only"},
        UsageCase{"MissingStepFile", {"--sim", "/nonexistent/list.tsf"}, "no step file"},
        UsageCase{"StepFileIsAFolder", {"--sim", "@dir"}, "step file"},
        UsageCase{"TwoConnections", {"--sim", "--lan", "127.0.0.1", "@list"}, "at most one"},
        UsageCase{"HostName", {"--lan", "loadhost:4001", "@list"}, "not an IPv4 address"},
        UsageCase{"PortTooBig", {"--lan", "127.0.0.1:70000", "@list"}, "not a port"},
        UsageCase{"BaudNotNumber", {"--serial", "1", "--baud", "fast", "@list"}, "--baud"},
        UsageCase{
            "HandshakeOutOfRange", {"--serial", "1", "--handshake", "4", "@list"}, "--handshake"},
        UsageCase{
            "BaudWithLan", {"--lan", "127.0.0.1", "--baud", "9600", "@list"}, "serial connection"},
        UsageCase{"GpibAddressOutOfRange", {"--gpib", "40", "@list"}, "--gpib"},
        UsageCase{"SerialPortNamesNothing", {"--serial", "0", "@list"}, "names no serial port"},
        UsageCase{"MissingValue", {"@list", "--csv"}, "--csv needs a value"},
        UsageCase{"SwitchWithValue", {"--quiet=yes", "--sim", "@list"}, "takes no value"},
        UsageCase{"MissingIni",
                  {"--ini", "/nonexistent/KV26.INI", "@list"},
                  "cannot read the settings file"}),
    [](const ::testing::TestParamInfo<UsageCase>& param) { return std::string(param.param.name); });

TEST(UsageTest, HelpDocumentsTheExitStatuses) {
  const RunOutcome run = RunKvloadRun({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* text : {"--lan HOST[:PORT]", "--serial PORT", "--gpib ADDRESS", "--sim",
                           "--csv FILE", "--quiet", "Exit status", "LOAD OFF"}) {
    EXPECT_THAT(run.out.toStdString(), HasSubstr(text));
  }
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

// --- the simulator's own strictness ---------------------------------------------

TEST(SimulatorTest, RejectsALineItDoesNotKnow) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--no-serial", "--fail-on-error"})) << sim.Error().toStdString();
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, sim.Port());
  ASSERT_TRUE(socket.waitForConnected(5000));
  socket.write("LOAD ON\r\nLAOD OFF\r\nCC:HIGH many\r\nname?\r\n");
  // The reply to the last line shows that the three before it were handled.
  QByteArray reply;
  const QDeadlineTimer deadline(5000);
  while (!reply.contains('\n') && !deadline.hasExpired()) {
    socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    reply += socket.readAll();
  }
  EXPECT_EQ(reply, "KVLOAD-SIM 100G\r\n");
  socket.disconnectFromHost();
  EXPECT_EQ(sim.Stop(), 1);
  const QStringList rejected = sim.RejectedLines();
  ASSERT_EQ(rejected.size(), 2) << rejected.join('|').toStdString();
  EXPECT_THAT(rejected[0].toStdString(), HasSubstr("LAOD OFF"));
  EXPECT_THAT(rejected[1].toStdString(), HasSubstr("CC:HIGH many"));
  EXPECT_THAT(sim.Stderr().toStdString(), HasSubstr("2 rejected"));
}

}  // namespace
}  // namespace kv::test
