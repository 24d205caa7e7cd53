// Open Results...: a run journal or CSV report shown as the latest run, so a
// run that ended in a crash still gets its views, Save Log and BDF file.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

#include "export/reopened_run.h"
#include "station/row_place_recorder.h"
#include "station/run_journal_keeper.h"
#include "station/station.h"
#include "ui/elided_label.h"
#include "ui/main_form.h"
#include "ui/run_chart_feed.h"
#include "ui/run_summary_model.h"

namespace kv {

void MainForm::onOpenResultsClicked() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Open Results"), QString::fromStdString(journalFolder()),
      QStringLiteral("Run journals and CSV reports (*.csv *.CSV);;All files (*)"));
  if (!path.isEmpty()) {
    openResults(QDir::toNativeSeparators(path));
  }
}

bool MainForm::openResults(const QString& path) {
  if (station_.IsRunning()) {
    statusBar()->showMessage(
        QStringLiteral("Results open once the test has ended: the run writes to the log shown"));
    return false;
  }
  const QString name = QFileInfo(path).fileName();
  if (!rowsSaved() && station_.Log().RowCount() > 0 &&
      !ask(QStringLiteral("The result log holds %1 rows that were not saved (Save Log). "
                          "Show the results of %2 instead?")
               .arg(station_.Log().RowCount())
               .arg(name))) {
    return false;
  }
  ReopenedRun run = ReopenRun(QDir::fromNativeSeparators(path).toStdString());
  if (!run.ok) {
    // The reason names the file (a chunk of a report may be the one at fault).
    showBox(QStringLiteral("Cannot open these results:\n") + QString::fromStdString(run.error));
    return false;
  }
  // The last run's journal is whole; the rows shown next are not its rows.
  journal_->Close();
  const std::size_t rows = run.log.RowCount();
  station_.ShowResults(std::move(run.log), run.summary);
  places_->Restore(std::move(run.places));
  chartFeed_->ShowEndedRun(places_->Places(), run.started);
  rowsSaved_ = true;
  runState_ = RunState();
  showRunState();
  stepStatus_->setText(RunEndText(station_));
  reading_.clear();
  readingStatus_->clear();
  std::string notes;
  for (const std::string& note : run.notes) {
    notes += (notes.empty() ? "" : "; ") + note;
  }
  resultsOrigin_.Reopened(path.toStdString(), notes);
  updateResultsBanner();
  statusBar()->showMessage(QStringLiteral("%1 rows of %2 shown").arg(rows).arg(name));
  return true;
}

}  // namespace kv
