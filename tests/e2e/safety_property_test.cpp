// The safety property over random runs: a seed draws a short step list, a
// misbehaving load and a way for the run to end. Whatever happens, kvload-run
// neither crashes nor hangs, numbers its rows without gaps, exits with the
// status the ending calls for, leaves a load it can reach switched off last
// (promptly), says so when it cannot, and leaves each output file whole or
// absent. The set of seeds below runs in ctest; for a long run,
// KV_SAFETY_SEEDS=N adds N seeds from KV_SAFETY_FIRST (default 1000) on, and
// KV_SAFETY_SEED=S runs seed S alone.
#include <signal.h>

#include <gmock/gmock.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <random>
#include <set>

#include "e2e/broker_process.h"
#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

// The loss shows at the next line or reply wait; the load is then reached
// again within two seconds.
constexpr qint64 kOffAfterLossMs = 2500 + kSanitizerSlackMs;

// Every kind of list, fault and ending, and in particular: a signal soon
// after the load dropped the connection (808 over TCP with the load coming
// back, 1045 without and the stop from the lab's broker, 119 over the serial
// line), a remote stop from the broker (6, 2907), a drop in the last tick of a
// one-step list (2907 with the load coming back, 989 without), the serial
// device vanishing during a Rest (16) and a signal during the attempt to reach
// a vanished load again (108).
constexpr std::uint64_t kSeeds[] = {6, 16, 48, 85, 95, 99, 108, 114, 119, 808, 989, 1045, 2907};

// Draws that come out the same with every standard library (its
// distributions do not).
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : gen_(seed) {}
  int Int(int lo, int hi) {
    return lo + static_cast<int>(gen_() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  bool Chance(int percent) { return Int(1, 100) <= percent; }

 private:
  std::mt19937_64 gen_;
};

struct Schedule {
  std::vector<std::string> steps;
  int seconds = 1;  // about how long the list runs, with the first tick's second
  QStringList simArgs;
  int timeoutSeconds = 0;  // 0: no --timeout
  bool overPty = false;
  int lateMs = 0;     // how late a whole reply can be
  int dropAfter = 0;  // the line on which the load drops the link; 0 never
  bool stayAway = false;
  int signalNumber = 0;     // 0: the run ends by itself
  bool remoteStop = false;  // the "signal" is a stop from the lab's broker
  int signalAtMs = 0;       // after the start, or after the drop
  bool signalAfterDrop = false;
};

Schedule DrawSchedule(std::uint64_t seed) {
  Draw d(seed);
  Schedule s;
  s.overPty = d.Chance(30);
  const auto add = [&s](const std::string& row, int seconds) {
    s.steps.push_back(std::to_string(s.steps.size() + 1) + "," + row);
    s.seconds += seconds;
  };
  for (int i = d.Int(1, 3); i > 0; --i) {
    const int t = d.Int(1, 3);
    const std::string tStop = std::to_string(t);
    switch (d.Int(0, 4)) {
      case 0:
        add("Discharge,CC," + std::string(d.Chance(50) ? "0.5" : "1") + ",0," + tStop + ",0", t);
        break;
      case 1:
        add("Rest,,,0," + tStop + ",0", t);
        break;
      case 2:
        add("FOR,,,,,," + std::to_string(t % 2 + 1), 0);
        add("Discharge,CC,1,0,1,0", t % 2 + 1);
        add("LOOP", 0);
        break;
      case 3:
        add("OCP,,,,,,,0,2,0.5,1,6,5", 2);
        break;
      default:
        add("Sequence Load,CC,,,,,,,,,,,,,,,,,,0,,,;0.5,;" + std::to_string(t * 700) + ",1", t + 1);
    }
  }
  if (d.Chance(40)) {
    s.lateMs = d.Int(0, 1200);
    s.simArgs << "--reply-delay" << QString::number(s.lateMs);
  }
  const int mangle = d.Int(0, 3);
  if (mangle == 0) {
    s.simArgs << "--garbage-every" << QString::number(d.Int(3, 6));
  } else if (mangle == 1) {
    const int pieces = d.Int(2, 4);
    const int gapMs = d.Int(5, 80);
    s.lateMs += (pieces - 1) * gapMs;
    s.simArgs << "--split-replies" << QString::number(pieces) << "--split-delay"
              << QString::number(gapMs);
  }
  if (d.Chance(50)) {
    // Lines 1 and 2 identify the load; from 3 on the run has started.
    s.dropAfter = d.Int(3, 3 + 3 * s.seconds);
    s.stayAway = !s.overPty && d.Chance(50);
    s.simArgs << "--drop-after" << QString::number(s.dropAfter);
    if (s.stayAway) {
      s.simArgs << "--stay-away";
    }
  }
  constexpr int kSignals[] = {0, 0, SIGINT, SIGTERM, SIGHUP};
  s.signalNumber = kSignals[d.Int(0, 4)];
  s.signalAfterDrop = s.signalNumber != 0 && s.dropAfter != 0 && d.Chance(50);
  // After the drop: also during the attempt to reach the load again.
  s.signalAtMs = s.signalAfterDrop ? d.Int(0, 2500) : d.Int(100, s.seconds * 1000 + 500);
  // A CI job's budget, which may run out at any moment of the run.
  s.timeoutSeconds = s.signalNumber == 0 && d.Chance(30) ? d.Int(1, s.seconds + 1) : 0;
  // Drawn last, so that every seed's earlier draws stay as they were.
  s.remoteStop = s.signalNumber != 0 && d.Chance(40);
  return s;
}

std::string Replay(std::uint64_t seed, const Schedule& s, const QStringList& runArgs) {
  const std::string filter = "--gtest_filter='*SafetyProperty*'";
  std::string text =
      "replay: KV_SAFETY_SEED=" + std::to_string(seed) + " " KV_BIN_DIR "/test_e2e " + filter +
      "\n  kvload-sim " + s.simArgs.join(' ').toStdString() +
      (s.overPty ? " --no-tcp" : " --no-serial") + " --rx-log rx.log\n  kvload-run " +
      runArgs.join(' ').toStdString() + "\n  list:";
  for (const std::string& row : s.steps) {
    text += " " + row + " |";
  }
  if (s.signalNumber != 0) {
    text += (s.remoteStop ? "\n  remote stop instead of signal " : "\n  signal ") +
            std::to_string(s.signalNumber) + " " + std::to_string(s.signalAtMs) + " ms after " +
            (s.signalAfterDrop ? "the drop" : "the start");
  }
  return text;
}

struct Rx {
  qint64 ms;
  QString line;
};

// "1796602869354<TAB>LOAD OFF" for every line the load received.
std::vector<Rx> ReadRx(const QString& path) {
  std::vector<Rx> rx;
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) {
    for (const QByteArray& record : file.readAll().split('\n')) {
      const qsizetype tab = record.indexOf('\t');
      if (tab > 0) {
        rx.push_back({record.left(tab).toLongLong(), QString::fromLatin1(record.mid(tab + 1))});
      }
    }
  }
  return rx;
}

bool IsOff(const QString& line) {
  return line == "LOAD OFF" || line == "SEQLD:TEST OFF";
}
bool IsOn(const QString& line) {
  return line == "LOAD ON" || line == "SEQLD:TEST ON" || line == "START";
}

// Whether the first `count` lines leave the load switched on.
bool OnAfter(const std::vector<Rx>& rx, std::size_t count) {
  bool on = false;
  for (std::size_t i = 0; i < count && i < rx.size(); ++i) {
    on = IsOn(rx[i].line) || (on && !IsOff(rx[i].line));
  }
  return on;
}

void WaitOrEnd(QProcess& run, qint64 untilMs) {
  const qint64 left = untilMs - QDateTime::currentMSecsSinceEpoch();
  if (left > 0) {
    run.waitForFinished(static_cast<int>(left));
  }
}

QStringList Lines(QByteArray text) {
  return QString::fromUtf8(text.replace('\r', "")).split('\n', Qt::SkipEmptyParts);
}

class SafetyPropertyTest : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(SafetyPropertyTest, Holds) {
  const std::uint64_t seed = GetParam();
  const Schedule s = DrawSchedule(seed);
  QTemporaryDir dir;
  const QString rxLog = dir.filePath("rx.log");
  SimProcess sim;
  ASSERT_EQ(sim.Start(s.simArgs + QStringList{"--rx-log", rxLog}, s.overPty), "");
  BrokerProcess broker;
  if (s.remoteStop) {
    ASSERT_EQ(broker.Start(), "");
  }
  const QStringList runArgs = sim.LinkArguments()
                              << (s.remoteStop ? QStringList{"--publish", broker.Url(),
                                                             "--remote-stop", "--bench", "p"}
                                               : QStringList{})
                              << "--csv" << dir.filePath("report.csv") << "--summary"
                              << dir.filePath("summary.csv")
                              << (s.timeoutSeconds > 0
                                      ? QStringList{"--timeout", QString::number(s.timeoutSeconds)}
                                      : QStringList{})
                              << WriteStepFile(dir, s.steps);
  SCOPED_TRACE(Replay(seed, s, runArgs));
  QProcess run;
  ASSERT_TRUE(StartKvloadRun(run, runArgs));
  // Its first word comes after it took charge of the signals.
  QByteArray said;
  run.setReadChannel(QProcess::StandardError);
  ReadUntil(run, said, [](const QByteArray& e) { return !e.isEmpty(); });

  qint64 signalMs = 0;
  if (s.signalNumber != 0) {
    qint64 fromMs = QDateTime::currentMSecsSinceEpoch();
    if (s.signalAfterDrop) {
      std::vector<Rx> rx;
      while (run.state() != QProcess::NotRunning &&
             (rx = ReadRx(rxLog)).size() < static_cast<std::size_t>(s.dropAfter)) {
        run.waitForFinished(5);
      }
      fromMs = rx.size() >= static_cast<std::size_t>(s.dropAfter) ? rx[s.dropAfter - 1].ms : fromMs;
    }
    WaitOrEnd(run, fromMs + s.signalAtMs);
    if (run.state() == QProcess::Running) {
      signalMs = QDateTime::currentMSecsSinceEpoch();
      if (s.remoteStop) {
        PublishTo(broker.Port(), "kvload/p/command", "stop");
      } else {
        ::kill(static_cast<pid_t>(run.processId()), s.signalNumber);
      }
    }
  }
  // waitForFinished() is false for a process that has already ended.
  const bool ended =
      run.state() == QProcess::NotRunning || run.waitForFinished(s.seconds * 1000 + 15000);
  if (!ended) {
    run.kill();
    run.waitForFinished();
  }
  sim.Stop();
  ASSERT_TRUE(ended) << "kvload-run hangs";
  ASSERT_EQ(run.exitStatus(), QProcess::NormalExit) << "kvload-run crashed";
  const int exitCode = run.exitCode();
  const QStringList out = Lines(run.readAllStandardOutput());
  const std::string err = (said + run.readAllStandardError()).toStdString();
  SCOPED_TRACE("kvload-run said:\n" + err);
  EXPECT_EQ(RowNumberingProblem(out), "");

  // The exit status follows from what the load saw and how the run ended.
  const std::vector<Rx> rx = ReadRx(rxLog);
  const auto n = static_cast<std::size_t>(s.dropAfter);
  const bool dropped = n > 0 && rx.size() >= n;
  const bool offLineDropped = dropped && IsOff(rx[n - 1].line);
  const bool lost = dropped && !offLineDropped;
  const bool stopped = err.find(": stopping") != std::string::npos ||
                       err.find("while connecting") != std::string::npos;
  std::set<int> expected = lost      ? std::set<int>{4}
                           : stopped ? std::set<int>{3}
                                     : std::set<int>{0, 1};
  // The off line on which the load dropped the link may or may not have reached it
  // for all kvload-run can tell; replies that come after the wait are lost ones.
  if (offLineDropped || (!stopped && s.lateMs >= 700)) {
    expected.insert(4);
  }
  EXPECT_TRUE(expected.contains(exitCode)) << "exit status " << exitCode;

  // Whatever ended the run, a load that was switched on and can be reached
  // was sent its off line last.
  QStringList tail;
  for (std::size_t i = rx.size() > 4 ? rx.size() - 4 : 0; i < rx.size(); ++i) {
    tail << rx[i].line;
  }
  const bool reachable = !dropped || (!s.overPty && !s.stayAway);
  const bool everOn = std::any_of(rx.begin(), rx.end(), [](const Rx& r) { return IsOn(r.line); });
  if (reachable && everOn) {
    EXPECT_TRUE(IsOff(rx.back().line))
        << "the load's last lines: " << tail.join(" | ").toStdString();
    if (lost) {
      EXPECT_LE(rx.back().ms - rx[n - 1].ms, kOffAfterLossMs) << "after the drop";
    } else if (stopped && signalMs != 0) {
      EXPECT_LE(rx.back().ms - signalMs, kOffAfterSignalMs) << "after the signal";
    }
  }
  if (lost && !reachable && OnAfter(rx, n)) {
    EXPECT_THAT(err, HasSubstr("may still be on"));
    EXPECT_THAT(err, Not(ContainsRegex("(is|was) turned off")));
  }

  // Output files: each one whole, or not there at all.
  const QStringList expectedFiles = {"REPORT_0.CSV", "list.tsf", "rx.log", "summary.csv"};
  for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
    EXPECT_TRUE(expectedFiles.contains(name)) << "a stray file " << name.toStdString();
  }
  QFile report(dir.filePath("REPORT_0.CSV"));
  if (report.open(QIODevice::ReadOnly)) {
    EXPECT_EQ(Lines(report.readAll()), out) << "the report differs from the printed rows";
  }
  QFile summary(dir.filePath("summary.csv"));
  if (summary.open(QIODevice::ReadOnly)) {
    const QByteArray text = summary.readAll();
    const QStringList runLine = Lines(text).value(Lines(text).size() - 1).split(',');
    EXPECT_TRUE(text.endsWith("\r\n") && runLine.value(0) == "run") << text.toStdString();
    EXPECT_EQ(runLine.value(5).startsWith("stopped"), exitCode == 3) << text.toStdString();
  }
}

std::vector<std::uint64_t> Seeds() {
  if (const char* one = std::getenv("KV_SAFETY_SEED"); one != nullptr && *one != '\0') {
    return {std::strtoull(one, nullptr, 10)};
  }
  std::vector<std::uint64_t> seeds;
  for (const std::uint64_t seed : kSeeds) {
    seeds.push_back(seed);
  }
  const char* count = std::getenv("KV_SAFETY_SEEDS");
  const char* first = std::getenv("KV_SAFETY_FIRST");
  const std::uint64_t from = first != nullptr ? std::strtoull(first, nullptr, 10) : 1000;
  for (std::uint64_t i = 0; count != nullptr && i < std::strtoull(count, nullptr, 10); ++i) {
    if (std::find(seeds.begin(), seeds.end(), from + i) == seeds.end()) {
      seeds.push_back(from + i);
    }
  }
  return seeds;
}

INSTANTIATE_TEST_SUITE_P(Seeds, SafetyPropertyTest, ::testing::ValuesIn(Seeds()),
                         [](const ::testing::TestParamInfo<std::uint64_t>& param) {
                           return "seed_" + std::to_string(param.param);
                         });

}  // namespace
}  // namespace kv::test
