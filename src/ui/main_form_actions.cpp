// The main window's handlers: files, the connection dialog and closing.
#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>

#include "link/link_settings.h"
#include "results/result_log.h"
#include "station/bench.h"
#include "station/row_place_recorder.h"
#include "station/run_journal_keeper.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "steps/step_list_ops.h"
#include "ui/connection_setup_form.h"
#include "ui/desktop_message_sink.h"
#include "ui/elided_label.h"
#include "ui/main_form.h"
#include "ui/result_log_model.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"
#include "ui/step_grid_model.h"
#include "ui/step_list_view.h"

namespace kv {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MainForm::setMessageHandler(std::function<void(const QString&)> handler) {
  sink_.SetShowHandler(std::move(handler));
}

void MainForm::setQuestionHandler(std::function<bool(const QString&)> handler) {
  questionHandler_ = std::move(handler);
}

void MainForm::showBox(const QString& text) {
  sink_.Raise(text, MessageUrgency::Info);
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
  if (station_.IsRunning()) {
    openStepFile({});  // Ctrl+O while the button is off: says why, opens nothing
    return;
  }
  const QString path = QFileDialog::getOpenFileName(
      this, QStringLiteral("Open File"), files_.ProposedOpenName(bench_.Settings().defaultPath),
      QtNameFilters(kStepFileFilter).join(QStringLiteral(";;")));
  if (!path.isEmpty()) {
    openStepFile(QDir::toNativeSeparators(path));
  }
}

bool MainForm::onSaveClicked() {
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save File"), files_.ProposedSaveName(bench_.Settings().defaultPath),
      QtNameFilters(kStepFileFilter).join(QStringLiteral(";;")));
  return !path.isEmpty() && saveStepFile(QDir::toNativeSeparators(path));
}

void MainForm::onSaveLogClicked() {
  // The run keeps ticking while the dialog is open.
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save Log"),
      files_.ProposedLogName(QDate::currentDate(), bench_.Settings().defaultPath),
      QtNameFilters(kLogFileFilter).join(QStringLiteral(";;")), &filter);
  if (!path.isEmpty()) {
    const QString native = QDir::toNativeSeparators(path);
    saveLog(filter == QString::fromUtf8(kBdfFilterCaption) ? BdfName(native) : native);
  }
}

void MainForm::openStepFile(const QString& path) {
  if (station_.IsRunning()) {
    statusBar()->showMessage(
        QStringLiteral("No other list opens while a test runs: the runner reads its rows"));
    return;
  }
  if (!mayDropListChanges(QStringLiteral("opening another list"))) {
    return;
  }
  const FileActionOutcome outcome = files_.Open(path.toStdString());
  // What was done can no longer be undone: it was done to the other list.
  editorWidget_->undoStack()->clear();
  editorWidget_->refresh();
  updateStepCount();
  updateTitle();
  resultsOrigin_.ListOpened();
  updateResultsBanner();
  showOutcome(outcome);
}

bool MainForm::saveStepFile(const QString& path) {
  const FileActionOutcome outcome = files_.Save(path.toStdString());
  // Written is saved, even when the settings file could not record it.
  const bool written = !outcome.files.isEmpty();
  if (written) {
    editorWidget_->undoStack()->setClean();
  }
  updateTitle();
  showOutcome(outcome);
  return written;
}

namespace {

// The list as it ran, where the file on disk still says so.
std::string ListSha256(const std::string& path, bool listUnchanged) {
  QFile file(QString::fromStdString(path));
  if (!listUnchanged || path.empty() || !file.open(QIODevice::ReadOnly)) {
    return {};
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(&file);
  return hash.result().toHex().toStdString();
}

}  // namespace

BdfRunFacts MainForm::bdfFacts() const {
  BdfRunFacts facts;
  RunIdentity& id = facts.identity;
  id.program = "kvload";
  id.version = QCoreApplication::applicationVersion().toStdString();
  id.listPath = files_.CurrentStepFile();
  id.listSha256 = ListSha256(id.listPath, editorWidget_->undoStack()->isClean());
  id.steps = station_.Steps().StepCount();
  id.settingsPath = bench_.IniPath();
  id.started = station_.Summary().Started().value_or(clock_->Now());
  if (bench_.Simulated()) {
    id.linkMode = "sim";
    id.linkAddress = bench_.SimulatedModel();
  } else {
    NameLink(bench_.Settings(), id);
  }
  facts.model = station_.ModelText() == kErrRec ? "" : station_.ModelText();
  facts.bench = BenchName(bench_.IniPath());
  return facts;
}

void MainForm::saveLog(const QString& path) {
  // The export runs without the event loop: no row comes in while it writes.
  const FileActionOutcome outcome =
      IsBdfName(path)
          ? files_.ExportBdf({station_.Log(), places_->Places(), station_.Summary().Started()},
                             bdfFacts(), station_.Summary(), path.toStdString(),
                             journal_->Journal().Path())
          : files_.ExportLog(station_.Log(), path.toStdString(), journal_->Journal().Path());
  showOutcome(outcome);
  if (outcome.ok) {
    // The table leaves verdict rows out: only the report keeps the whole log.
    rowsSaved_ = rowsSaved_ || !IsBdfName(path);
    showBox(outcome.files.isEmpty()
                ? QStringLiteral("Convert OK")
                : QStringLiteral("Convert OK\n\n%1").arg(outcome.files.join(QLatin1Char('\n'))));
  }
}

// --- Connection ---------------------------------------------------------------

void MainForm::setDialogHandler(std::function<void(ConnectionSetupForm&)> handler) {
  dialogHandler_ = std::move(handler);
}

void MainForm::OpenConnectionSetup() {
  // Never a modal dialog inside a transaction's wait: the query would wait
  // for the operator.
  whenLinkIdle([this] { runConnectionSetup(-1, {}); });
}

std::vector<std::string> MainForm::unusableKeys() const {
  // The simulated load inside the program reads none of them.
  return bench_.Simulated() ? std::vector<std::string>{}
                            : UnusableConnectionKeys(bench_.Settings());
}

void MainForm::runConnectionSetup(int openOnMode, std::function<void()> then) {
  const std::string programFolder =
      QDir::toNativeSeparators(files_.Folders().programFolder).toStdString();
  ConnectionSetupForm dialog(bench_.IniPath(), bench_.Settings(), this, programFolder, openOnMode);
  if (dialogHandler_) {
    dialogHandler_(dialog);
  } else {
    dialog.exec();
  }
  LinkSettings settings = dialog.Settings();
  // Save wrote usable values; a cancel left the file's own: either way the
  // file now says which of the values in use stand in for unusable text.
  settings.unusableKeys = LoadLinkSettings(bench_.IniPath(), nullptr, programFolder).unusableKeys;
  for (const std::string& w : dialog.Warnings()) {
    statusBar()->showMessage(QString::fromStdString(w));
  }
  // Ticks ran while the dialog was open; one may be waiting now.
  whenLinkIdle([this, settings = std::move(settings), then = std::move(then)] {
    bench_.ApplySettings(settings);
    configureJournal();
    updateConnectionText();
    if (const std::vector<std::string> keys = unusableKeys(); !keys.empty()) {
      QStringList names;
      for (const std::string& k : keys) {
        names << QString::fromStdString(k);
      }
      statusBar()->showMessage(
          QStringLiteral("Not connected: the settings file's %1 is unusable; save usable values "
                         "in Device Connect Setup")
              .arg(names.join(QStringLiteral(", "))));
      return;
    }
    station_.Identify();
    if (then) {
      then();
    }
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
  if (!mayDropListChanges(QStringLiteral("closing"))) {
    return false;
  }
  if (!rowsSaved() && station_.Log().RowCount() > 0 &&
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
