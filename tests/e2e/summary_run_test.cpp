// A run against kvload-sim that ends its steps in every way there is, read as
// a script would: JSON lines on standard output, the --summary file and the
// --journal beside it.
#include <signal.h>

#include <gmock/gmock.h>

#include <QFile>
#include <QJsonObject>

#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;

QStringList FileLines(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly)
             ? QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts)
             : QStringList{};
}

TEST(SummaryRunTest, EveryEndReasonReachesJsonLinesAndTheSummary) {
  SimProcess sim;
  ASSERT_EQ(sim.Start({}), "");
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, {
                                              "1,Discharge,CC,1,0,2,0",       // time
                                              "2,Discharge,CC,5,0,30,0.001",  // Ah
                                              "3,Discharge,CC,1,4.19,30,0",   // voltage
                                              "4,OCP,,,,,,,0,8,0.5,1,6,5",  // trips at 5.5 A: PASS
                                              "5,OCP,,,,,,,0,8,0.5,1,2,1",  // FAIL
                                              "6,Bogus,,,0,2,0",            // skipped
                                              "7,Discharge,CC,1,0,60,0",    // stopped by SIGINT
                                          });
  const QString summary = dir.filePath("summary.csv");
  const QString journal = dir.filePath("journal.csv");
  QProcess run;
  ASSERT_TRUE(StartKvloadRun(run, sim.LinkArguments()
                                      << "--format"
                                      << "jsonl"
                                      << "--summary" << summary << "--journal" << journal << list));

  // Stop once the last step has its first row: the first row after the skip.
  QByteArray out;
  ASSERT_TRUE(ReadUntil(run, out, [](const QByteArray& o) {
    const qsizetype skip = o.indexOf("\"reason\":\"skipped\"");
    return skip >= 0 && o.indexOf("\"type\":\"row\"", skip) >= 0;
  })) << out.toStdString();
  ASSERT_EQ(::kill(static_cast<pid_t>(run.processId()), SIGINT), 0);
  ASSERT_TRUE(run.waitForFinished(10000));
  out += run.readAllStandardOutput();
  EXPECT_EQ(run.exitCode(), 3);
  sim.Stop();

  QStringList reasons;
  int rows = 0;
  QJsonObject end;
  for (const QJsonObject& o : JsonStream(out)) {
    const QString type = o.value("type").toString();
    if (type == "row") {
      EXPECT_EQ(o.value("no").toString().toInt(), ++rows);
    } else if (type == "step") {
      reasons << QString::number(o.value("step").toInt()) + " " + o.value("reason").toString() +
                     (o.value("verdict").isString() ? " " + o.value("verdict").toString() : "");
    } else if (type == "end") {
      end = o;
    }
  }
  EXPECT_THAT(reasons, ElementsAre("1 time", "2 ah", "3 voltage", "4 completed PASS",
                                   "5 completed FAIL", "6 skipped", "7 stopped"));
  EXPECT_EQ(end.value("exit").toInt(), 3);
  EXPECT_EQ(end.value("reason").toString(), "stopped");

  const QStringList lines = FileLines(summary);
  ASSERT_EQ(lines.size(), 9) << lines.join('|').toStdString();
  QStringList columns;
  for (const QString& l : lines.mid(1)) {
    const QStringList f = l.split(',');
    columns << f[0] + " " + f[1] + " " + f[5] + " " + f[6] + " " + f[7];
  }
  EXPECT_THAT(columns, ElementsAre("1 Discharge time  ", "2 Discharge ah  ",
                                   "3 Discharge voltage  ", "4 OCP completed  PASS",
                                   "5 OCP completed  FAIL", "6 Bogus skipped unknown-function ",
                                   "7 Discharge stopped  ", "run  stopped  "));
  // The journal holds the header and every row the run added.
  EXPECT_EQ(FileLines(journal).size(), rows + 1);
}

}  // namespace
}  // namespace kv::test
