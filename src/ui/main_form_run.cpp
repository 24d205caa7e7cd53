// The main window's run: Start (with the connection and list checks before
// it) and Stop, the running row, the result view, chart, summary, journal,
// sleep inhibitor and the status line while it goes on.
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <utility>

#include "chart/verdict_look.h"
#include "check/check_report.h"
#include "check/run_plan.h"
#include "check/step_list_check.h"
#include "link/ini_file.h"
#include "link/link_settings.h"
#include "results/result_columns.h"
#include "results/result_log.h"
#include "runner/runner_state.h"
#include "runner/system_clock.h"
#include "station/bench.h"
#include "station/row_place_recorder.h"
#include "station/run_journal_keeper.h"
#include "station/sleep_inhibitor.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "ui/check_findings_view.h"
#include "ui/desktop_message_sink.h"
#include "ui/elided_label.h"
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

namespace {

// Names the errors, so the operator can judge them without leaving the box;
// No shows all findings in the Check tab.
QString StartAnywayQuestion(const std::vector<CheckFinding>& findings) {
  constexpr int kShown = 5;
  QString text = QStringLiteral("The check found %1:\n").arg(Q(FormatFindingCounts(findings)));
  int shown = 0;
  for (const CheckFinding& finding : findings) {
    if (finding.severity == Severity::Error && shown++ < kShown) {
      text += QStringLiteral("\n") + Q(FormatFinding(finding));
    }
  }
  const int errors = CountFindings(findings, Severity::Error);
  if (errors > kShown) {
    text += QStringLiteral("\n... and %1 more").arg(errors - kShown);
  }
  return text + QStringLiteral("\n\nStart the test anyway? (No shows them in the Check tab.)");
}

}  // namespace

void MainForm::connectStation() {
  connect(&station_, &Station::logAboutToBeCleared, logModel_,
          &ResultLogModel::logAboutToBeCleared);
  connect(&station_, &Station::logCleared, logModel_, &ResultLogModel::logCleared);
  connect(&station_, &Station::logCleared, list1_, &QListWidget::clear);
  connect(&station_, &Station::logReplaced, logModel_, &ResultLogModel::logCleared);
  connect(&station_, &Station::logReplaced, list1_, &QListWidget::clear);
  connect(&station_, &Station::rowAdded, this, &MainForm::onRowAdded);
  connect(&station_, &Station::stepStarted, this, &MainForm::onStepStarted);
  connect(&station_, &Station::runFinished, this, &MainForm::onRunFinished);
  connect(&station_, &Station::modelTextChanged, this, [this](const QString& model) {
    nameLabel_->setText(model);
    updateConnectionText();
  });
  connect(&station_, &Station::identified, this, &MainForm::onIdentified);
  // Through the one box: a lost link's outcome comes with the link's own
  // messages, and a load that may still be on comes first.
  connect(&station_, &Station::message, this, &MainForm::showBox);
  connect(
      &station_, &Station::linkLossHandled, this, [this](bool loadTurnedOff, const QString& text) {
        sink_.Raise(text,
                    loadTurnedOff ? MessageUrgency::LinkLostLoadOff : MessageUrgency::LoadMayBeOn);
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
  chartFeed_ = new RunChartFeed(station_, *chart_, this);
  // Findings are never stale: the check runs again after every change of the
  // list (once the change is complete) and at every identification.
  recheck_ = new QTimer(this);
  recheck_->setSingleShot(true);
  recheck_->setInterval(0);
  connect(recheck_, &QTimer::timeout, this, [this] { checkSteps(false); });
  const auto recheck = [this] { recheck_->start(); };
  StepGridModel* steps = editorWidget_->listView()->model();
  connect(steps, &QAbstractItemModel::rowsInserted, this, recheck);
  connect(steps, &QAbstractItemModel::rowsRemoved, this, recheck);
  connect(steps, &QAbstractItemModel::modelReset, this, recheck);
  connect(steps, &QAbstractItemModel::dataChanged, this,
          [recheck](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            // The running row's colour is no change of the list.
            if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
              recheck();
            }
          });
  connect(&station_, &Station::identified, this, recheck);
  connect(&station_, &Station::runEnded, this, &MainForm::onRunEnded);
  connect(&station_, &Station::linkLossHandled, this, [this](bool loadTurnedOff) {
    runState_.LinkLossHandled(loadTurnedOff);
    showRunState();
    if (!station_.IsRunning()) {
      statusBar()->showMessage(Q(runState_.EndMessage()));
    }
  });
  showRunState();
  connect(&station_, &Station::measurementsLost, this, &MainForm::onMeasurementsLost);
  connect(checkView_, &CheckFindingsView::stepActivated, this, [this](int step) {
    QTableView* table = editorWidget_->listView()->table();
    const QModelIndex cell = editorWidget_->listView()->model()->indexOfCell(step, kColStepNo);
    table->setCurrentIndex(cell);
    table->scrollTo(cell);
  });

  clock_ = std::make_unique<SystemClock>();
  journal_ = new RunJournalKeeper(station_, *clock_, this);
  places_ = new RowPlaceRecorder(station_, *clock_, this);
  journal_->KeepPlaces(places_->Places());
  // Kept in view for the whole run: which file holds the rows if the
  // program or the computer fails.
  connect(journal_, &RunJournalKeeper::started, this, [this](const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    journalStatus_->setText(QStringLiteral("Journal ") + QFileInfo(path).fileName());
    journalStatus_->setDescription(native);
    statusBar()->showMessage(QStringLiteral("Journal: ") + native);
  });
  connect(journal_, &RunJournalKeeper::failed, this, [this](const QString& error) {
    journalStatus_->setText(QStringLiteral("No journal"));
    journalStatus_->setDescription(error);
    statusBar()->showMessage(QStringLiteral("No run journal (the run goes on): ") + error);
  });
  configureJournal();

  inhibitor_ = new SleepInhibitor({}, this);
  connect(&station_, &Station::runningChanged, inhibitor_, &SleepInhibitor::SetRunning);
  connect(inhibitor_, &SleepInhibitor::failed, this, [this](const QString& error) {
    statusBar()->showMessage(error);  // it says what it means
  });
}

void MainForm::configureJournal() {
  // [System] AutoSaveLog 0 turns the journal off; anything else keeps it.
  long long autoSave = 1;
  const std::string text = ReadIniValue(bench_.IniPath(), kSystemSection, "AutoSaveLog", "1");
  const bool off = ParseSettingInteger(text, 0, 0, &autoSave);
  journal_->SetFolder(off ? std::string() : journalFolder());
}

bool MainForm::rowsSaved() const {
  const RunJournal& journal = journal_->Journal();
  return rowsSaved_ || (journal.IsOpen() && journal.RowsWritten() == station_.Log().RowCount());
}

void MainForm::runTest() {
  // The dialog and the question are modal: never inside a transaction's wait.
  whenLinkIdle([this] {
    if (station_.Steps().StepCount() == 0) {
      // A run of nothing would end at once with "Test Finished".
      showBox(QStringLiteral("The list has no steps: add a step or open a list, then Start Test"));
      return;
    }
    if (station_.IsRunning()) {
      // F5 is easily pressed twice; a restart throws the rows away.
      if (!ask(QStringLiteral(
              "Restart? The running test is stopped (load off) and its rows are cleared"))) {
        return;
      }
      stopTest();
      if (station_.IsRunning()) {
        return;  // the load is still being reached; its outcome comes first
      }
    }
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
  if (HasErrors(findings) && !ask(StartAnywayQuestion(findings))) {
    tabs_->setCurrentWidget(checkView_);
    return;
  }
  station_.Run();
}

std::vector<CheckFinding> MainForm::checkSteps(bool announce) {
  // Before any identification (or when the load did not answer "name?") no
  // model is known: the check does not take that for a model without
  // battery functions.
  const std::string& model = station_.ModelText();
  std::vector<CheckFinding> findings =
      CheckStepListForModel(station_.Steps(), model == kErrRec ? std::string() : model);
  std::vector<std::string> offered;
  for (const QString& f : station_.OfferedFunctionList()) {
    offered.push_back(f.toStdString());
  }
  const RunPlan plan = PlanStepList(station_.Steps(), offered.empty() ? nullptr : &offered);
  checkView_->SetFindings(findings);
  planStatus_->setText(QStringLiteral("Estimated ") + Q(FormatPlanTime(plan)));
  if (announce) {
    statusBar()->showMessage(QStringLiteral("Check: ") + Q(FormatFindingCounts(findings)));
  }
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
  sink_.Raise(text, MessageUrgency::Link);
}

void MainForm::stopTest() {
  const bool wasRunning = station_.IsRunning();
  station_.Stop();
  // A run that ended says what became of the load (onRunEnded): turned off
  // only when its end was a Stop, not a link found lost on the way.
  if (!wasRunning) {
    statusBar()->showMessage(
        station_.LoadTurnedOff()
            ? QStringLiteral("No test was running; \"LOAD OFF\" was sent anyway")
            : QStringLiteral("No test was running; \"LOAD OFF\" could not reach the load"));
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
  runState_.RunStarted();
  showRunState();
  runCommand_->setEnabled(false);
  readingStatus_->setStyleSheet({});
  runClock_.start();
  lostShown_ = false;
  rowsSaved_ = true;
  stepStatus_->setText(QStringLiteral("Identifying the load"));
  timeLeftStatus_->clear();
  elapsedStatus_->setText(QStringLiteral("Run 00:00:00"));
  reading_.clear();
  readingStatus_->clear();
}

void MainForm::runEnded() {
  onTickFinished();
  runClock_.invalidate();
  runCommand_->setEnabled(true);
}

void MainForm::onRunEnded() {
  const std::optional<RunEnd>& end = station_.Summary().End();
  runState_.RunEnded(end ? end->reason : RunEndReason::Stopped);
  showRunState();
  stepStatus_->setText(RunEndText(station_));
  statusBar()->showMessage(Q(runState_.EndMessage()));
  if (runningRow_ > 0) {
    editorWidget_->listView()->model()->setRowHighlighted(runningRow_, false);
    runningRow_ = 0;
  }
  // Whatever the load does now, these numbers are not it.
  if (!reading_.isEmpty()) {
    readingStatus_->setText(QStringLiteral("Last: ") + reading_);
    readingStatus_->setStyleSheet(QStringLiteral("color: gray"));
  }
}

void MainForm::showRunState() {
  runStateLabel_->setText(Q(runState_.Text()));
  const QColor background = QColor::fromRgb(runState_.Colour());
  const bool idle = runState_.Kind() == RunStateKind::Idle;
  runStateLabel_->setStyleSheet(
      QStringLiteral("QLabel { background: %1; color: %2; border-radius: 4px; padding: 2px 10px; }")
          .arg(background.name(), idle ? QStringLiteral("black") : QStringLiteral("white")));
}

void MainForm::onStepStarted(int row, int previousRow) {
  StepGridModel* model = editorWidget_->listView()->model();
  if (previousRow > 0) {
    model->setRowHighlighted(previousRow, false);
  }
  model->setRowHighlighted(row, true);
  runningRow_ = row;
  runState_.StepStarted(row, station_.Steps().StepCount(),
                        station_.Steps().Cell(row, kColFunction));
  showRunState();
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
  if (row[kResResult] == kPassText || row[kResResult] == kFailText) {
    runState_.VerdictSeen(row[kResResult] == kPassText);
    showRunState();
    return;  // a verdict row holds no reading of the moment
  }
  reading_ =
      row[kResVoltage].empty()
          ? QStringLiteral("no measurement  %1 Ah  %2 Wh").arg(Q(row[kResAh]), Q(row[kResWh]))
          : QStringLiteral("%1 V  %2 A  %3 Ah  %4 Wh")
                .arg(Q(row[kResVoltage]), Q(row[kResCurrent]), Q(row[kResAh]), Q(row[kResWh]));
  readingStatus_->setText(reading_);
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
