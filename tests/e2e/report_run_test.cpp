// kvload-run --report against kvload-sim: the PDF a run leaves, read back as
// text, and the targets refused before anything is connected.
#include <gmock/gmock.h>

#include <QCryptographicHash>

#include "e2e/e2e_processes.h"
#include "support/qt/pdf_text.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(ReportRunTest, TheDemoRunsReportNamesTheRunEveryStepAndTheFail) {
  SimProcess sim;
  // A source that collapses above 3 A trips the demo's OCP below its limits.
  ASSERT_EQ(sim.Start({"--current-limit", "3"}), "");
  QTemporaryDir dir;
  const QString list = KV_EXAMPLES_DIR "/demo.tsf";
  const QString pdf = dir.filePath("demo.pdf");
  const RunOutcome run = RunKvloadRun(sim.LinkArguments() << "--report" << pdf << list);
  sim.Stop();
  ASSERT_EQ(run.exitCode, 1) << run.err.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("run report written to " + pdf.toStdString()));

  ASSERT_EQ(PdfPageCount(pdf), 1);
  const QStringList pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 1);
  const QString sha = QCryptographicHash::hash(ReadAll(list), QCryptographicHash::Sha256).toHex();
  for (const QString& field :
       QStringList{"Load model +KVLOAD-SIM 100G", "Step list +" + list, "SHA-256 +" + sha,
                   "End reason +completed: end of list", "Exit status +1", "Duration +0:00:\\d\\d",
                   "100G +FAIL\\n.*\\n.*overall verdict", "1 ?/ ?1"}) {
    EXPECT_TRUE(pages[0].contains(QRegularExpression(field))) << field.toStdString();
  }
  EXPECT_THAT(PdfStepLines(pages[0]),
              ElementsAre("1 Discharge voltage stop", "2 Rest time stop", "4 Discharge time stop",
                          "5 Rest time stop", "4 Discharge time stop", "5 Rest time stop",
                          "7 OCP completed by the load, FAIL FAIL"));
}

TEST(ReportRunTest, AReportTargetThatCannotBeWrittenIsRefusedBeforeConnecting) {
  QTemporaryDir dir;
  const QString list = KV_EXAMPLES_DIR "/demo.tsf";
  for (const auto& [args, refusal] :
       {std::pair{QStringList{"--report", dir.filePath("none/r.pdf")}, "--report: the folder"},
        std::pair{QStringList{"--report", dir.filePath("r.pdf"), "--junit", dir.filePath("r.pdf")},
                  "are the same file"}}) {
    const RunOutcome run = RunKvloadRun(QStringList{"--lan", "192.0.2.1"} << args << list);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err.toStdString(), HasSubstr(refusal));
  }
}

}  // namespace
}  // namespace kv::test
