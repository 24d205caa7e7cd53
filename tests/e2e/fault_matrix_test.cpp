// The fault matrix: kvload-run against loads, links and files that misbehave.
// Whatever goes wrong, the run neither crashes nor hangs, its rows stay
// numbered without gaps, it says what happened, and no file it was pointed at
// is replaced by less than it held.
#include <gmock/gmock.h>

#include <random>

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

enum class Carrier { Tcp, Pty };
enum class List { ThreeSeconds, Oversized, RandomBytes };

struct FaultCase {
  const char* name;
  QStringList simArgs = {};
  int exitCode;
  const char* stderrHas;
  // The load still receives the whole run, line for line.
  bool allLines = false;
  Carrier carrier = Carrier::Tcp;
  List list = List::ThreeSeconds;
  // A settings file used instead of a connection option.
  QByteArray ini = {};
  // False where the load cannot be reached again to be switched off.
  bool loadReachable = true;
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

QByteArray RandomBytes(qsizetype size) {
  std::mt19937 gen(14);  // the same bytes on every run, so a failure repeats
  QByteArray bytes(size, '\0');
  for (char& b : bytes) {
    b = static_cast<char>(gen() & 0xffu);
  }
  return bytes;
}

QString WriteList(const QTemporaryDir& dir, List list) {
  switch (list) {
    case List::ThreeSeconds:
      return WriteStepFile(dir, "three.tsf", kThreeSeconds);
    case List::Oversized: {
      std::vector<std::string> rows;
      for (int i = 1; i <= 32768; ++i) {
        rows.push_back(std::to_string(i) + ",Rest,,,0,1,0");
      }
      return WriteStepFile(dir, "big.tsf", rows);
    }
    case List::RandomBytes:
      break;
  }
  QFile file(dir.filePath("junk.tsf"));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(RandomBytes(4096));
  return file.fileName();
}

class FaultMatrixTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrixTest, RunEndsSensibly) {
  const FaultCase& c = GetParam();
  SimProcess sim;
  QStringList simArgs = c.simArgs;
  simArgs << (c.carrier == Carrier::Tcp ? "--no-serial" : "--no-tcp");
  ASSERT_TRUE(sim.Start(simArgs)) << sim.Error().toStdString();
  QTemporaryDir dir;
  QStringList args;
  if (!c.ini.isEmpty()) {
    QFile ini(dir.filePath("KV26.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(c.ini);
    args << "--ini" << ini.fileName();
  } else if (c.carrier == Carrier::Tcp) {
    args << "--lan" << sim.LanArgument();
  } else {
    args << "--serial" << sim.PtyPath() << "--handshake"
         << "0";
  }
  // A report from an earlier run sits where this one goes: a run that
  // writes nothing must leave it as it was.
  const QByteArray earlier = "NO.,earlier report that must survive\n";
  QFile csv(dir.filePath("report.csv"));
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write(earlier);
  csv.close();
  args << "--csv" << csv.fileName() << WriteList(dir, c.list);

  const RunOutcome run = RunKvloadRun(args);
  sim.Stop();

  EXPECT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.out.toStdString() << run.err.toStdString();
  if (c.exitCode == 2) {
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
  } else {
    QString why;
    EXPECT_TRUE(RowsNumberedWithoutGaps(run.lines(), &why)) << why.toStdString() << "\n"
                                                            << run.out.toStdString();
  }
  EXPECT_THAT(run.err.toStdString(), HasSubstr(c.stderrHas));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QByteArray after = csv.readAll();
  EXPECT_TRUE(after == earlier || after.size() > earlier.size()) << after.toStdString();
  if (c.allLines) {
    EXPECT_THAT(sim.ReceivedLines(), ElementsAreArray(kThreeSecondLines));
  }
  // Whatever went wrong, a load that was switched on is left switched off.
  if (c.loadReachable && sim.ReceivedLines().contains("LOAD ON")) {
    EXPECT_EQ(sim.ReceivedLines().last(), "LOAD OFF")
        << sim.ReceivedLines().join('|').toStdString();
  }
  EXPECT_TRUE(sim.RejectedLines().isEmpty()) << sim.RejectedLines().join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrixTest,
    ::testing::Values(
        // Replies well within the one-second bound change nothing.
        FaultCase{"SlowReplies", {"--reply-delay", "300"}, 0, "Test Finished", true},
        // Replies past the bound: the load does not answer in time to be
        // identified, so the run is not started.
        FaultCase{"LateReplies", {"--reply-delay", "1500"}, 4, "no reply to \"name?\""},
        // A reply in three pieces is still one reply.
        FaultCase{"SplitReplies",
                  {"--split-replies", "3", "--split-delay", "40"},
                  0,
                  "Test Finished",
                  true},
        // Junk is a reply: the run goes on, reading it as the desktop would.
        FaultCase{"GarbageReplies", {"--garbage-every", "2"}, 0, "Test Finished", true},
        // Every reply is junk: no tick has a measurement, so after three the
        // load counts as lost, is reached again to be turned off, and the run ends.
        FaultCase{"JunkOnly", {"--garbage-every", "1"}, 4, "measurements in a row were missing"},
        FaultCase{"JunkOnlyOverSerial",
                  {"--garbage-every", "1"},
                  4,
                  "measurements in a row were missing",
                  false,
                  Carrier::Pty},
        // A number alone is no measurement either.
        FaultCase{"ReplyWithoutTwoNumbers",
                  {"--meas-reply", "4.1"},
                  4,
                  "measurements in a row were missing"},
        // Control characters inside a reply do not change its numbers, and a
        // line feed inside one costs a measurement, never a row.
        FaultCase{"ControlCharacters", {"--control-every", "2"}, 0, "Test Finished", true},
        FaultCase{"LineFeedInReply", {"--linefeed-every", "2"}, 0, "Test Finished", true},
        // A reply without a line end is cut, not held in memory for ever.
        FaultCase{"EndlessLine", {"--endless-reply", "3"}, 4, "was cut"},
        // The connection goes away at the second poll of the discharge: the
        // load is reached again once to turn it off, the run ends there, and
        // the exit status tells a script that the load was lost.
        FaultCase{"LostConnectionMidStep", {"--drop-after", "7"}, 4, "Lost Connect!"},
        // The serial side has no message of its own for a hang-up; the
        // silence that follows is what gives it away.
        FaultCase{.name = "SerialDeviceVanishes",
                  .simArgs = {"--drop-after", "7"},
                  .exitCode = 4,
                  .stderrHas = "unanswered",
                  .carrier = Carrier::Pty,
                  .loadReachable = false},
        // The load goes quiet after the first poll but still hears every
        // line: the run goes on to its end, and the status says the load
        // was gone.
        FaultCase{"LoadFallsSilent", {"--silent-after", "6"}, 4, "unanswered", true},
        // No reply to "name?": the run is not started at all.
        FaultCase{"SilentLoad", {"--silent"}, 4, "no reply to \"name?\""},
        // Files the run is refused for, before anything is opened.
        FaultCase{.name = "OversizedList",
                  .exitCode = 2,
                  .stderrHas = "more than 32767 steps",
                  .list = List::Oversized},
        FaultCase{.name = "JunkSettings",
                  .exitCode = 2,
                  .stderrHas = "no usable value for LanPort",
                  .ini = RandomBytes(500) +
                         "\r\n[Load Option]\r\nConnectMode=2\r\nLanPort=99999\r\n" +
                         RandomBytes(500)},
        // Random bytes make a list of steps nobody can run: each is skipped
        // and said so, and the run ends without switching anything on.
        FaultCase{.name = "RandomBytesList",
                  .exitCode = 0,
                  .stderrHas = "the runner skips this step",
                  .list = List::RandomBytes}),
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
