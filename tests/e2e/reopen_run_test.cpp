// A run's journal cut mid-line, as a SIGKILL during a write leaves it,
// reopened by --from-journal: every whole row comes back, the torn line is
// said once, and the BDF rows and the report's steps are those the
// uninterrupted run wrote.
#include <gmock/gmock.h>

#include <QFile>

#include "e2e/e2e_processes.h"
#include "support/qt/pdf_text.h"

namespace kv::test {
namespace {

// `bytes` cut in the middle of its line `line` (1-based).
QByteArray CutInLine(const QByteArray& bytes, int line) {
  qsizetype at = 0;
  for (int i = 1; i < line; ++i) {
    at = bytes.indexOf('\n', at) + 1;
  }
  return bytes.left(at + 5);
}

// "number function" of each step in a run report.
QStringList ReportSteps(const QString& pdf) {
  QStringList steps;
  for (const QString& line : PdfStepLines(PdfPages(pdf).join('\n'))) {
    steps << line.section(' ', 0, 1);
  }
  return steps;
}

TEST(ReopenRunTest, AJournalCutMidLineReopensWithEveryWholeRowAndTheLiveBdfRows) {
  SimProcess sim;
  ASSERT_EQ(sim.Start({}), "");
  QTemporaryDir dir;
  const QString list =
      WriteStepFile(dir, {"1,Discharge,CC,2,0,1,0", "2,FOR,,,,,,2", "3,Discharge,CC,1,0,1,0",
                          "4,Rest,,,0,1,0", "5,LOOP", "6,OCP,,,,,,,0,8,0.5,1,6,5"});
  const QString journal = dir.filePath("journal.csv");
  const RunOutcome live = RunKvloadRun(
      sim.LinkArguments() << "--journal" << journal << "--bdf" << dir.filePath("live.bdf.csv")
                          << "--report" << dir.filePath("live.pdf") << list);
  ASSERT_EQ(live.exitCode, 0) << live.err.toStdString();
  sim.Stop();
  const QByteArray rows = ReadAll(journal);
  const int cutLine = static_cast<int>(rows.count('\n')) - 3;
  const QString cut = dir.filePath("cut.csv");
  for (const auto& [from, to] : {std::pair{journal, cut}, {journal + ".places", cut + ".places"}}) {
    QFile out(to);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(CutInLine(ReadAll(from), cutLine));
  }

  const RunOutcome reopened =
      RunKvloadRun({"--from-journal", cut, "--csv", dir.filePath("R.CSV"), "--bdf",
                    dir.filePath("cut.bdf.csv"), "--report", dir.filePath("cut.pdf")});
  ASSERT_EQ(reopened.exitCode, 0) << reopened.err.toStdString();
  EXPECT_EQ(reopened.err.count("cut short"), 1) << reopened.err.toStdString();
  EXPECT_EQ(ReadAll(dir.filePath("R_0.CSV")), CutInLine(rows, cutLine).chopped(5));
  const QList<QByteArray> liveBdf = ReadAll(dir.filePath("live.bdf.csv")).split('\n');
  const QList<QByteArray> cutBdf = ReadAll(dir.filePath("cut.bdf.csv")).split('\n');
  ASSERT_GT(cutBdf.size(), 5);
  EXPECT_EQ(cutBdf.first(cutBdf.size() - 1), liveBdf.first(cutBdf.size() - 1));
  const QStringList liveSteps = ReportSteps(dir.filePath("live.pdf"));
  const QStringList cutSteps = ReportSteps(dir.filePath("cut.pdf"));
  ASSERT_FALSE(cutSteps.isEmpty());
  EXPECT_EQ(cutSteps, liveSteps.first(cutSteps.size()));
  EXPECT_THAT(PdfPages(dir.filePath("cut.pdf")).join(' ').toStdString(),
              testing::HasSubstr("Not known"));
}

}  // namespace
}  // namespace kv::test
