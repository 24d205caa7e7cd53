// The main window's handlers: files, Run and Stop with the running row, the
// result view, the status line and closing.
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>

#include "link/link_settings.h"
#include "results/result_log.h"
#include "station/bench.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "steps/step_list_ops.h"
#include "ui/desktop_message_sink.h"
#include "ui/main_form.h"
#include "ui/result_log_model.h"
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

void MainForm::setMessageHandler(std::function<void(const QString&)> handler) {
  messageHandler_ = std::move(handler);
}

void MainForm::setQuestionHandler(std::function<bool(const QString&)> handler) {
  questionHandler_ = std::move(handler);
}

void MainForm::showBox(const QString& text) {
  if (messageHandler_) {
    messageHandler_(text);
  } else {
    ShowNonBlockingMessage(this, text);
  }
}

bool MainForm::ask(const QString& question) {
  if (questionHandler_) {
    return questionHandler_(question);
  }
  return QMessageBox::question(this, QGuiApplication::applicationDisplayName(), question,
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void MainForm::showOutcome(const FileActionOutcome& outcome) {
  if (!outcome.status.isEmpty()) {
    statusBar()->showMessage(outcome.status);
  }
  if (!outcome.message.isEmpty()) {
    showBox(outcome.message);
  }
}

void MainForm::updateStepCount() {
  text1_->setText(QString::fromStdString(StepCountText(station_.Steps())));
}

// --- Files ------------------------------------------------------------------

void MainForm::onOpenClicked() {
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Open File"), files_.ProposedOpenName(bench_.Settings().defaultPath),
      QtNameFilters(kStepFileFilter).join(QStringLiteral(";;")));
  if (!path.isEmpty()) {
    openStepFile(QDir::toNativeSeparators(path));
  }
}

void MainForm::onSaveClicked() {
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save File"), files_.ProposedSaveName(),
                                   QtNameFilters(kStepFileFilter).join(QStringLiteral(";;")));
  if (!path.isEmpty()) {
    saveStepFile(QDir::toNativeSeparators(path));
  }
}

void MainForm::onSaveLogClicked() {
  // The run keeps ticking while the dialog is open.
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save Log"), files_.ProposedLogName(QDate::currentDate()),
      QtNameFilters(kLogFileFilter).join(QStringLiteral(";;")));
  if (!path.isEmpty()) {
    saveLog(QDir::toNativeSeparators(path));
  }
}

void MainForm::openStepFile(const QString& path) {
  const FileActionOutcome outcome = files_.Open(path.toStdString());
  editorWidget_->refresh();
  updateStepCount();
  showOutcome(outcome);
}

void MainForm::saveStepFile(const QString& path) {
  showOutcome(files_.Save(path.toStdString()));
}

void MainForm::saveLog(const QString& path) {
  // The export runs without the event loop: no row comes in while it writes.
  const FileActionOutcome outcome = StepFileActions::ExportLog(station_.Log(), path.toStdString());
  showOutcome(outcome);
  if (outcome.ok) {
    rowsSaved_ = true;
    showBox(QStringLiteral("Convert OK"));
  }
}

// --- Connection ---------------------------------------------------------------

void MainForm::OpenConnectionSetup() {
  // Until the connection dialog is here: take the settings file as it is now
  // and identify the load, as the dialog does when it closes.
  whenLinkIdle([this] {
    std::vector<std::string> warnings;
    const std::string programFolder =
        QDir::toNativeSeparators(files_.Folders().programFolder).toStdString();
    bench_.ApplySettings(LoadLinkSettings(bench_.IniPath(), &warnings, programFolder));
    for (const std::string& w : warnings) {
      statusBar()->showMessage(QString::fromStdString(w));
    }
    updateConnectionText();
    station_.Identify();
  });
}

void MainForm::whenLinkIdle(std::function<void()> work) {
  if (!station_.IsLinkBusy()) {
    work();
    return;
  }
  idleWork_.push_back(std::move(work));
}

void MainForm::runIdleWork() {
  if (station_.IsLinkBusy()) {
    return;
  }
  for (auto& work : std::exchange(idleWork_, {})) {
    work();
  }
}

void MainForm::updateConnectionText() {
  QString link;
  const LinkSettings& s = bench_.Settings();
  if (bench_.Simulated()) {
    link = QStringLiteral("Simulated load");
  } else if (s.connectMode == kModeSerial) {
    link = QStringLiteral("RS-232/USB %1").arg(QString::fromStdString(SerialDeviceName(s.comPort)));
  } else if (s.connectMode == kModeGpib) {
    link = QStringLiteral("GPIB address %1").arg(s.address);
  } else if (s.connectMode == kModeLan) {
    link =
        QStringLiteral("LAN %1:%2").arg(QString::fromStdString(LanAddressText(s))).arg(s.lanPort);
  } else {
    link = QStringLiteral("No connection (ConnectMode %1)").arg(s.connectMode);
  }
  const QString model = station_.ModelText().empty() ? nameLabel_->text() : Q(station_.ModelText());
  connectionStatus_->setText(link + QStringLiteral(" | ") + model);
}

// --- Run and Stop ---------------------------------------------------------------

void MainForm::connectStation() {
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
  // Work held back during a transaction runs once it is over.
  connect(&station_, &Station::tickFinished, this, &MainForm::runIdleWork, Qt::QueuedConnection);
  connect(&station_, &Station::identified, this, &MainForm::runIdleWork, Qt::QueuedConnection);
}

void MainForm::runTest() {
  station_.Run();
}

void MainForm::stopTest() {
  station_.Stop();
  statusBar()->showMessage(QStringLiteral("Stopped: the load was turned off"));
}

void MainForm::onRunningChanged(bool running) {
  if (running) {
    runStarted();
  } else {
    runEnded();
  }
}

void MainForm::runStarted() {
  runClock_.start();
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
  stepStatus_->setText(QStringLiteral("Finished: %1 steps").arg(station_.Steps().StepCount()));
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

// --- Closing --------------------------------------------------------------------

void MainForm::closeEvent(QCloseEvent* event) {
  if (closeConfirmed_ || !station_.IsLinkBusy()) {
    event->setAccepted(closeConfirmed_ || confirmClose());
    return;
  }
  // A question box inside a transaction's wait would hold that transaction
  // until it is answered; ask once the link is free.
  event->ignore();
  whenLinkIdle([this] {
    if (confirmClose()) {
      closeConfirmed_ = true;
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
  });
}

bool MainForm::confirmClose() {
  if (station_.IsRunning() &&
      !ask(QStringLiteral("A test is running. Stop it (the load is turned off) and exit?"))) {
    return false;
  }
  if (!rowsSaved_ && station_.Log().RowCount() > 0 &&
      !ask(QStringLiteral("The result log holds %1 rows that were not saved (Save Log). "
                          "Exit anyway?")
               .arg(station_.Log().RowCount()))) {
    return false;
  }
  if (station_.IsRunning()) {
    station_.Stop();
  }
  return true;
}

}  // namespace kv
