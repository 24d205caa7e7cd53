// "Report…": the run report of the results shown, whether the run goes on,
// finished or was stopped.
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

#include "check/step_list_check.h"
#include "report/run_report_pdf.h"
#include "station/bench.h"
#include "station/row_place_recorder.h"
#include "station/station.h"
#include "ui/main_form.h"

namespace kv {

void MainForm::onReportClicked() {
  const QFileInfo log(files_.ProposedLogName(QDate::currentDate(), bench_.Settings().defaultPath));
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Run report"), log.dir().filePath(log.completeBaseName() + ".pdf"),
      QStringLiteral("PDF document (*.pdf)"));
  if (!path.isEmpty()) {
    writeReport(QDir::toNativeSeparators(path));
  }
}

void MainForm::writeReport(const QString& path) {
  const BdfRunFacts bdf = bdfFacts();
  RunReportFacts facts{bdf.identity, bdf.model, bdf.bench, std::nullopt, {}};
  // Reopened rows hold neither the list that made them nor its check.
  facts.listKnown = !resultsOrigin_.IsReopened();
  const StepGrid noList;
  const StepGrid& steps = facts.listKnown ? station_.Steps() : noList;
  // The findings an operator saw for the model that answered.
  std::vector<CheckFinding> findings;
  if (facts.listKnown) {
    findings = CheckStepListForModel(steps, facts.model);
  }
  const RunReportResult result = WriteRunReport(
      {station_.Log(), places_->Places(), station_.Summary(), steps, findings, facts},
      path.toStdString());
  if (!result.ok) {
    showBox(QStringLiteral("The run report was not written.\n\n%1")
                .arg(QString::fromStdString(result.error)));
    return;
  }
  statusBar()->showMessage(
      QStringLiteral("Run report written to %1 (%2 pages)").arg(path).arg(result.pages));
}

}  // namespace kv
