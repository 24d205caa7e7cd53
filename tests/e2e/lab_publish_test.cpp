// kvload-run publishing to a real Mosquitto broker: what a lab's dashboards
// see, the remote Stop, and a broker that dies, comes back or never answers.
#include <signal.h>

#include <gmock/gmock.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTcpServer>

#include "e2e/broker_process.h"
#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

const char* const kRowKeys[] = {"no", "time", "v",     "i",        "w",
                                "ah", "wh",   "stamp", "function", "result"};

QStringList RowsAsCsv(const QList<Heard>& heard, const QString& topic) {
  QStringList rows;
  for (const Heard& h : heard) {
    if (h.topic == topic) {
      QStringList cells;
      for (const char* key : kRowKeys) {
        cells << h.object.value(key).toString();
      }
      rows << cells.join(',');
    }
  }
  return rows;
}

QStringList CsvRows(const QTemporaryDir& dir) {
  const QStringList files = QDir(dir.path()).entryList({"*.CSV"});
  QStringList lines = files.isEmpty() ? QStringList()
                                      : QString::fromUtf8(ReadAll(dir.filePath(files.first())))
                                            .split("\r\n", Qt::SkipEmptyParts);
  if (!lines.isEmpty()) {
    lines.removeFirst();  // the header
  }
  return lines;
}

auto Has(const QString& topic, const QString& key, const QString& value) {
  return [=](const QList<Heard>& heard) { return HeardValue(heard, topic, key, value); };
}

TEST(LabBrokerTest, RowsAreTheCsvRowsAndACleanEndLeavesOffline) {
  BrokerProcess broker;
  ASSERT_EQ(broker.Start(), "");
  Subscriber sub;
  ASSERT_TRUE(sub.Start(broker.Port(), "kvload/#"));
  QTemporaryDir dir;
  const RunOutcome run =
      RunKvloadRun({"--sim", "--publish", broker.Url(), "--bench", "b1", "--csv",
                    dir.filePath("run.csv"), WriteStepFile(dir, {"1,Discharge,CC,1,0,3,0"})});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(sub.WaitFor(Has("kvload/b1/state", "state", "offline")));
  const QList<Heard>& heard = sub.HeardSoFar();
  EXPECT_EQ(RowsAsCsv(heard, "kvload/b1/row"), CsvRows(dir));
  EXPECT_FALSE(CsvRows(dir).isEmpty());
  EXPECT_TRUE(HeardValue(heard, "kvload/b1/step", "reason", "time"));
  EXPECT_TRUE(HeardValue(heard, "kvload/b1/end", "exit", "0"));
  EXPECT_TRUE(HeardValue(heard, "kvload/b1/state", "function", "Discharge"));
}

// A command other than "stop" changes nothing; a bench killed outright
// turns offline by the broker's last will, retained for later dashboards.
TEST(LabBrokerTest, OtherCommandsAreIgnoredAndAKilledBenchGoesOffline) {
  BrokerProcess broker;
  ASSERT_EQ(broker.Start(), "");
  Subscriber sub;
  ASSERT_TRUE(sub.Start(broker.Port(), "kvload/#"));
  QTemporaryDir dir;
  QProcess run;
  run.setReadChannel(QProcess::StandardError);
  ASSERT_TRUE(
      StartKvloadRun(run, {"--sim", "--publish", broker.Url(), "--bench", "b3", "--remote-stop",
                           WriteStepFile(dir, {"1,Discharge,CC,1,0,60,0"})}));
  ASSERT_TRUE(sub.WaitFor(Has("kvload/b3/state", "step", "1")));
  ASSERT_TRUE(PublishTo(broker.Port(), "kvload/all/command", "STOP"));
  QByteArray err;
  ASSERT_TRUE(ReadUntil(run, err, [](const QByteArray& e) { return e.contains("ignored"); }));
  ASSERT_EQ(run.state(), QProcess::Running);
  ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
  run.waitForFinished();
  Subscriber later;
  ASSERT_TRUE(later.Start(broker.Port(), "kvload/b3/state"));
  ASSERT_TRUE(later.WaitFor(Has("kvload/b3/state", "state", "offline")));
  EXPECT_TRUE(later.HeardSoFar().first().retained);
}

// The broker vanishes for five seconds mid-run: the run keeps its rhythm
// (no row missing from the report) and what the queue kept comes after.
TEST(LabBrokerTest, BrokerKilledAndRestartedLosesNoRow) {
  BrokerProcess broker;
  ASSERT_EQ(broker.Start(), "");
  Subscriber before;
  ASSERT_TRUE(before.Start(broker.Port(), "kvload/b4/row"));
  QTemporaryDir dir;
  QProcess run;
  ASSERT_TRUE(StartKvloadRun(
      run, {"--sim", "--publish", broker.Url(), "--bench", "b4", "--csv", dir.filePath("run.csv"),
            WriteStepFile(dir, {"1,Discharge,CC,1,0,12,0"})}));
  ASSERT_TRUE(before.WaitFor(Has("kvload/b4/row", "no", "2")));
  broker.Kill();
  QDeadlineTimer down(5000);
  while (!down.hasExpired()) {
    run.waitForFinished(static_cast<int>(down.remainingTime()));
  }
  BrokerProcess again;
  ASSERT_EQ(again.Start(broker.Port()), "");
  Subscriber after;
  ASSERT_TRUE(after.Start(again.Port(), "kvload/b4/#"));
  ASSERT_TRUE(run.waitForFinished(30000));
  ASSERT_EQ(run.exitCode(), 0);
  ASSERT_TRUE(after.WaitFor(Has("kvload/b4/state", "state", "offline")));
  const QStringList csv = CsvRows(dir);
  const QStringList report =
      QString::fromUtf8(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  EXPECT_EQ(RowNumberingProblem(report), "");
  EXPECT_EQ(report.size() - 1, csv.size());
  EXPECT_GE(csv.size(), 12);  // a row a second, the outage included
  const QStringList heard = RowsAsCsv(before.HeardSoFar(), "kvload/b4/row") +
                            RowsAsCsv(after.HeardSoFar(), "kvload/b4/row");
  EXPECT_EQ(QSet<QString>(heard.begin(), heard.end()), QSet<QString>(csv.begin(), csv.end()));
  EXPECT_FALSE(RowsAsCsv(after.HeardSoFar(), "kvload/b4/row").isEmpty());
}

// A broker that takes the connection and never says a word: the run is the
// same as one without a broker, and the program still leaves promptly.
TEST(LabBrokerTest, SilentBrokerLeavesTheRunAlone) {
  QTcpServer silent;  // the kernel accepts; nobody ever reads or answers
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, {"1,Discharge,CC,1,0,3,0"});
  const RunOutcome alone = RunKvloadRun({"--sim", list});
  QElapsedTimer took;
  took.start();
  const RunOutcome run = RunKvloadRun(
      {"--sim", "--publish", QStringLiteral("mqtt://127.0.0.1:%1").arg(silent.serverPort()), list});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(run.lines().size(), alone.lines().size());
  EXPECT_LT(took.elapsed(), 4000 + 1500) << "publishing held up the end";
}

}  // namespace
}  // namespace kv::test
