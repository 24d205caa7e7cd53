// The main window's care for work not yet saved: the title with the list's
// name and its modified mark, the question before changes are dropped, the
// recent lists, the banner over results of another list, and where the run
// journals go.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>

#include "link/ini_file.h"
#include "link/link_settings.h"
#include "station/bench.h"
#include "station/run_journal_keeper.h"
#include "station/station.h"
#include "ui/main_form.h"
#include "ui/step_editor_widget.h"

namespace kv {

void MainForm::setUnsavedListHandler(UnsavedListGuard::Ask handler) {
  unsavedListHandler_ = std::move(handler);
}

bool MainForm::listModified() const {
  // Every change of the list goes through the undo stack; its clean state
  // is set where the list was last opened or saved.
  return editorWidget_->listChangedSinceClean();
}

void MainForm::buildFileParts() {
  connect(editorWidget_->undoStack(), &QUndoStack::indexChanged, this, &MainForm::updateTitle);
  connect(recentButton_->menu(), &QMenu::aboutToShow, this, &MainForm::fillRecentMenu);
  connect(&station_, &Station::runningChanged, this, [this](bool running) {
    // The runner reads the rows it runs: no other list may replace them.
    openCommand_->setEnabled(!running);
    recentButton_->setEnabled(!running);
    openResultsCmd_->setEnabled(!running);
    if (running) {
      resultsOrigin_.RunStarted(files_.CurrentStepFile(), QTime::currentTime());
      updateResultsBanner();
    }
  });
}

void MainForm::updateTitle() {
  setWindowTitle(ListWindowTitle(files_.CurrentStepFile(), listModified(),
                                 QString::fromUtf8(kMainFormCaption)));
}

void MainForm::updateResultsBanner() {
  const QString text = resultsOrigin_.BannerText();
  resultsBanner_->setText(text);
  resultsBanner_->setVisible(!text.isEmpty());
}

bool MainForm::mayDropListChanges(const QString& action) {
  const UnsavedListGuard guard(
      [this](const QString& question) {
        if (unsavedListHandler_) {
          return unsavedListHandler_(question);
        }
        switch (QMessageBox::question(
            this, QGuiApplication::applicationDisplayName(), question,
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
          case QMessageBox::Save:
            return UnsavedChoice::Save;
          case QMessageBox::Discard:
            return UnsavedChoice::Discard;
          default:
            break;
        }
        return UnsavedChoice::Cancel;
      },
      [this] {
        return files_.CurrentStepFile().empty()
                   ? onSaveClicked()
                   : saveStepFile(QString::fromStdString(files_.CurrentStepFile()));
      });
  return guard.MayDrop(files_.CurrentStepFile(), listModified(), action);
}

void MainForm::fillRecentMenu() {
  QMenu* menu = recentButton_->menu();
  menu->clear();
  const std::vector<std::string> lists = files_.RecentLists();
  if (lists.empty()) {
    menu->addAction(QStringLiteral("No recent lists"))->setEnabled(false);
    return;
  }
  int number = 0;
  for (const std::string& list : lists) {
    const QString path = QString::fromStdString(list);
    const bool there = QFileInfo::exists(path);
    QAction* action =
        menu->addAction(QStringLiteral("&%1  %2%3")
                            .arg(++number)
                            .arg(QDir::toNativeSeparators(path),
                                 there ? QString() : QStringLiteral("  (not found)")));
    action->setEnabled(there);
    connect(action, &QAction::triggered, this, [this, path] { openStepFile(path); });
  }
}

std::string MainForm::journalFolder() const {
  const std::string setting =
      ReadIniValue(bench_.IniPath(), kLoadOptionSection, kDefaultPathKey, "");
  const QString folder = files_.Folders().JournalFolder(setting);
  // A new user's documents folder may not be there yet.
  QDir().mkpath(folder);
  return folder.toStdString();
}

void MainForm::openJournalFolder() {
  const std::string& journal = journal_->Journal().Path();
  const QString folder = journal.empty()
                             ? QString::fromStdString(journalFolder())
                             : QFileInfo(QString::fromStdString(journal)).absolutePath();
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
    statusBar()->showMessage(
        QStringLiteral("Cannot open the folder %1").arg(QDir::toNativeSeparators(folder)));
  }
}

}  // namespace kv
