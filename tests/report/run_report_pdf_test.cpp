// The run report of a week-long run as a reader finds it: its pages, every
// step taken, the FAIL; and a file that cannot be written.
#include <gmock/gmock.h>

#include <QTemporaryDir>

#include "report/run_report_pdf.h"
#include "support/qt/pdf_text.h"
#include "week_run.h"

namespace kv::test {
namespace {

using ::testing::HasSubstr;

TEST(RunReportPdf, AWeekLongRunKeepsEveryStepOnNumberedPages) {
  const bench::WeekRun week;
  QTemporaryDir dir;
  const QString pdf = dir.filePath("week.pdf");
  const RunReportResult written = WriteRunReport(week.Source(), pdf.toStdString());
  ASSERT_TRUE(written.ok) << written.error;
  ASSERT_EQ(PdfPageCount(pdf), 3);
  const QStringList pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(pages[i].contains(QRegularExpression(QString("%1 ?/ ?3").arg(i + 1)))) << i;
  }
  EXPECT_TRUE(pages[0].contains(QRegularExpression("Duration +168:00:00")));
  EXPECT_TRUE(
      pages[1].contains(QRegularExpression("Steps taken \\(84\\) \\(continued\\)\\s+No\\.")));
  const QStringList steps = PdfStepLines(pages.join('\n'));
  ASSERT_EQ(steps.size(), 84);
  EXPECT_EQ(steps.front(), "2 Discharge time stop");
  EXPECT_EQ(steps.back(), "4 Rest time stop, FAIL FAIL");
  EXPECT_TRUE(pages[2].contains("Step list as run (5 steps)"));

  const std::string lost = dir.filePath("none/week.pdf").toStdString();
  const RunReportResult refused = WriteRunReport(week.Source(), lost);
  EXPECT_FALSE(refused.ok);
  EXPECT_THAT(refused.error, HasSubstr(lost + ": No such file or directory"));
}

}  // namespace
}  // namespace kv::test
