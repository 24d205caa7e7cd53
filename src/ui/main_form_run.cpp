// The main window's run: Start (with the connection and list checks before
// it) and Stop, the running row, the result view, chart, summary, journal,
// sleep inhibitor and the status line while it goes on.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>
#include <utility>

#include "check/check_report.h"
#include "check/run_plan.h"
#include "check/step_list_check.h"
#include "link/ini_file.h"
#include "link/link_settings.h"
#include "results/result_log.h"
#include "runner/runner_state.h"
#include "runner/system_clock.h"
#include "station/bench.h"
#include "station/run_journal_keeper.h"
#include "station/sleep_inhibitor.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "ui/check_findings_view.h"
#include "ui/main_form.h"
#include "ui/result_log_model.h"
#include "ui/run_chart_feed.h"
#include "ui/run_summary_model.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"
#include "ui/step_grid_model.h"
#include "ui/step_list_view.h"

namespace kv {

namespace {

QString ClockText(qint64 seconds) {
  if (seconds < 0) {
    seconds = 0;
  }
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MainForm::connectStation() {
  connect(&station_, &Station::logAboutToBeCleared, logModel_,
          &ResultLogModel::logAboutToBeCleared);
  connect(&station_, &Station::logCleared, logModel_, &ResultLogModel::logCleared);
  connect(&station_, &Station::logCleared, list1_, &QListWidget::clear);
  connect(&station_, &Station::rowAdded, this, &MainForm::onRowAdded);
  connect(&station_, &Station::stepStarted, this, &MainForm::onStepStarted);
  connect(&station_, &Station::runFinished, this, &MainForm::onRunFinished);
  connect(&station_, &Station::modelTextChanged, this, [this](const QString& model) {
    nameLabel_->setText(model);
    updateConnectionText();
  });
  connect(&station_, &Station::identified, this, &MainForm::onIdentified);
  connect(&station_, &Station::message, this, [this](const QString& text) {
    statusBar()->showMessage(text);
    showBox(text);
  });
  connect(&station_, &Station::notice, this,
          [this](const QString& text) { statusBar()->showMessage(text); });
  connect(&station_, &Station::tickFinished, this, &MainForm::onTickFinished);
  connect(&station_, &Station::runningChanged, this, &MainForm::onRunningChanged);
  // Work held back during a transaction runs once it is over, whatever the
  // transaction was (a tick, an identification, Stop, a reconnect).
  connect(&station_, &Station::linkIdle, this, &MainForm::runIdleWork, Qt::QueuedConnection);
}

void MainForm::buildRunParts() {
  new RunChartFeed(station_, *chart_, this);
  connect(&station_, &Station::runEnded, this,
          [this] { stepStatus_->setText(RunEndText(station_)); });
  connect(&station_, &Station::measurementsLost, this, &MainForm::onMeasurementsLost);
  connect(checkView_, &CheckFindingsView::stepActivated, this, [this](int step) {
    QTableView* table = editorWidget_->listView()->table();
    const QModelIndex cell = editorWidget_->listView()->model()->indexOfCell(step, kColStepNo);
    table->setCurrentIndex(cell);
    table->scrollTo(cell);
  });

  clock_ = std::make_unique<SystemClock>();
  journal_ = new RunJournalKeeper(station_, *clock_, this);
  // Kept in view for the whole run: which file holds the rows if the
  // program or the computer fails.
  connect(journal_, &RunJournalKeeper::started, this, [this](const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    journalStatus_->setText(QStringLiteral("Journal ") + QFileInfo(path).fileName());
    journalStatus_->setToolTip(native);
    statusBar()->showMessage(QStringLiteral("Journal: ") + native);
  });
  connect(journal_, &RunJournalKeeper::failed, this, [this](const QString& error) {
    journalStatus_->setText(QStringLiteral("No journal"));
    journalStatus_->setToolTip(error);
    statusBar()->showMessage(QStringLiteral("No run journal (the run goes on): ") + error);
  });
  configureJournal();

  inhibitor_ = new SleepInhibitor({}, this);
  connect(&station_, &Station::runningChanged, inhibitor_, &SleepInhibitor::SetRunning);
  connect(inhibitor_, &SleepInhibitor::failed, this, [this](const QString& error) {
    statusBar()->showMessage(QStringLiteral("The computer may sleep during the run: ") + error);
  });
}

void MainForm::configureJournal() {
  // [System] AutoSaveLog 0 turns the journal off; anything else keeps it.
  long long autoSave = 1;
  const std::string text = ReadIniValue(bench_.IniPath(), kSystemSection, "AutoSaveLog", "1");
  const bool off = ParseSettingInteger(text, 0, 0, &autoSave);
  journal_->SetFolder(off ? std::string() : bench_.Settings().defaultPath);
}

bool MainForm::rowsSaved() const {
  const RunJournal& journal = journal_->Journal();
  return rowsSaved_ || (journal.IsOpen() && journal.RowsWritten() == station_.Log().RowCount());
}

void MainForm::runTest() {
  // The dialog and the question are modal: never inside a transaction's wait.
  whenLinkIdle([this] {
    const std::vector<std::string> keys = unusableKeys();
    if (keys.empty()) {
      startCheckedRun();
      return;
    }
    // Open on the frame that holds the bad value; with ConnectMode itself
    // unusable there is no such frame and the operator picks one.
    const bool modeBad = std::find(keys.begin(), keys.end(), "ConnectMode") != keys.end();
    runConnectionSetup(modeBad ? -1 : bench_.Settings().connectMode, [this] { startCheckedRun(); });
  });
}

void MainForm::startCheckedRun() {
  const std::vector<CheckFinding> findings = checkSteps();
  if (HasErrors(findings) &&
      !ask(QStringLiteral("The check found %1 (see the Check tab). Start the test anyway?")
               .arg(QString::fromStdString(FormatFindingCounts(findings))))) {
    tabs_->setCurrentWidget(checkView_);
    return;
  }
  station_.Run();
}

std::vector<CheckFinding> MainForm::checkSteps() {
  std::vector<CheckFinding> findings =
      CheckStepListForModel(station_.Steps(), station_.ModelText());
  std::vector<std::string> offered;
  for (const QString& f : station_.OfferedFunctionList()) {
    offered.push_back(f.toStdString());
  }
  const RunPlan plan = PlanStepList(station_.Steps(), offered.empty() ? nullptr : &offered);
  checkView_->SetFindings(findings);
  planStatus_->setText(QStringLiteral("Estimated ") + Q(FormatPlanTime(plan)));
  statusBar()->showMessage(QStringLiteral("Check: ") + Q(FormatFindingCounts(findings)));
  return findings;
}

void MainForm::onMeasurementsLost() {
  if (std::exchange(lostShown_, true)) {
    return;
  }
  const QString text = QStringLiteral(
                           "The load stopped answering: no measurement in the last %1 "
                           "ticks. Check the connection; the run goes on.")
                           .arg(kMeasurementsLostAfter);
  statusBar()->showMessage(text);
  showBox(text);
}

void MainForm::stopTest() {
  station_.Stop();
  // Only a line that reached a working link turned the load off. Stop inside
  // a wait leaves the attempt to reach a lost load for later; its own
  // message says how it went.
  if (station_.IsSecuringLoad()) {
    statusBar()->showMessage(QStringLiteral("Stopped: the load did not answer; reaching it again"));
  } else {
    statusBar()->showMessage(
        station_.LoadTurnedOff()
            ? QStringLiteral("Stopped: the load was turned off")
            : QStringLiteral("Stopped: the load could not be reached; it may still be on"));
  }
}

void MainForm::onRunningChanged(bool running) {
  editorWidget_->setListLocked(running);
  if (running) {
    runStarted();
  } else {
    runEnded();
  }
}

void MainForm::runStarted() {
  runClock_.start();
  lostShown_ = false;
  rowsSaved_ = true;
  stepStatus_->setText(QStringLiteral("Identifying the load"));
  timeLeftStatus_->clear();
  elapsedStatus_->setText(QStringLiteral("Run 00:00:00"));
  readingStatus_->clear();
}

void MainForm::runEnded() {
  onTickFinished();
  runClock_.invalidate();
}

void MainForm::onStepStarted(int row, int previousRow) {
  StepGridModel* model = editorWidget_->listView()->model();
  if (previousRow > 0) {
    model->setRowHighlighted(previousRow, false);
  }
  model->setRowHighlighted(row, true);
  runningRow_ = row;
  QTableView* table = editorWidget_->listView()->table();
  const QModelIndex first = model->indexOfCell(row, kColStepNo);
  table->setCurrentIndex(first);
  table->scrollTo(first, QAbstractItemView::PositionAtTop);
  stepStatus_->setText(QStringLiteral("Step %1 of %2: %3")
                           .arg(row)
                           .arg(station_.Steps().StepCount())
                           .arg(QString::fromStdString(station_.Steps().Cell(row, kColFunction))));
}

void MainForm::onRunFinished(int lastRow) {
  if (lastRow > 0) {
    editorWidget_->listView()->model()->setRowHighlighted(lastRow, false);
  }
  runningRow_ = 0;
  timeLeftStatus_->clear();
}

void MainForm::onRowAdded(qsizetype index) {
  QScrollBar* bar = listView1_->verticalScrollBar();
  const bool following = bar->value() == bar->maximum();
  logModel_->rowAdded(index);
  if (following) {
    listView1_->scrollToBottom();
  }
  rowsSaved_ = false;
  const ResultRowView row = station_.Log().RowView(static_cast<std::size_t>(index));
  readingStatus_->setText(
      QStringLiteral("%1 V  %2 A  %3 Ah  %4 Wh").arg(Q(row[2]), Q(row[3]), Q(row[5]), Q(row[6])));
}

void MainForm::onTickFinished() {
  if (runClock_.isValid()) {
    elapsedStatus_->setText(QStringLiteral("Run ") + ClockText(runClock_.elapsed() / 1000));
  }
  const RunnerState& state = station_.State();
  if (state.running && runningRow_ > 0 && state.stepTimed) {
    timeLeftStatus_->setText(QStringLiteral("Left ") +
                             ClockText((state.stepSecondsLeft + kFixed4One - 1) / kFixed4One));
  } else {
    timeLeftStatus_->clear();
  }
}

void MainForm::onIdentified(const QString& modelText, const QStringList& functions) {
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(functions.size()));
  for (const QString& f : functions) {
    names.push_back(f.toStdString());
  }
  editor_.SetOfferedFunctions(std::move(names));
  editorWidget_->panel()->refresh();
  nameLabel_->setText(modelText);
  updateConnectionText();
}

}  // namespace kv
