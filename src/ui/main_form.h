#pragma once
// The desktop program's main window "Kalvane DC Load Test Program R1.2d". It
// composes the parts: the step editor widget, the file actions, the run
// controls with the running-row highlight, the result view, the chart, the
// run summary, the step-list check, the run journal and the status line, and
// wires them to the station of the bench it borrows.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "check/check_finding.h"

#include "steps/step_editor.h"
#include "ui/results_origin.h"
#include "ui/run_state.h"
#include "ui/step_file_actions.h"
#include "ui/unsaved_list.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;
class QTableView;
class QToolButton;

namespace kv {

class Bench;
class CheckFindingsView;
class Clock;
class ConnectionSetupForm;
class DesktopMessageSink;
class ElidedLabel;
class ResultLogModel;
class RunChart;
class RunChartFeed;
class RowPlaceRecorder;
class RunJournalKeeper;
class RunSummaryModel;
class SleepInhibitor;
class Station;
class StepEditorWidget;

inline constexpr const char* kMainFormCaption = "Kalvane DC Load Test Program R1.2d";

struct MainFormOptions {
  /// A step file that opens instead of the settings' TestFileName ("" : none).
  std::string stepFile;
  FileFolders folders = FileFolders::OfThisProgram();
};

class MainForm : public QMainWindow {
  Q_OBJECT

 public:
  /// `bench` and `sink` must outlive the window; the sink's messages show here.
  MainForm(Bench& bench, DesktopMessageSink& sink, MainFormOptions options = {},
           QWidget* parent = nullptr);
  ~MainForm() override;

  Station& station() { return station_; }
  StepEditorWidget* stepEditor() const { return editorWidget_; }
  QTableView* resultView() const { return listView1_; }
  /// Where further views of the run go ("Chart", "Summary").
  QTabWidget* viewTabs() const { return tabs_; }
  RunChart* chart() const { return chart_; }
  CheckFindingsView* checkView() const { return checkView_; }
  RunJournalKeeper* journalKeeper() const { return journal_; }
  QLabel* nameLabel() const { return nameLabel_; }
  QLineEdit* stepCountBox() const { return text1_; }
  const std::string& currentStepFile() const { return files_.CurrentStepFile(); }

  /// Boxes (failures, "Test Finished", "Convert OK") go here instead of on
  /// screen, one call per box.
  void setMessageHandler(std::function<void(const QString&)> handler);
  /// Yes/no questions (closing, starting a list with errors) go here instead
  /// of a box.
  void setQuestionHandler(std::function<bool(const QString&)> handler);
  /// The connection dialog goes here instead of exec() (the handler saves or
  /// cancels it).
  void setDialogHandler(std::function<void(ConnectionSetupForm&)> handler);
  /// The Save / Discard / Cancel question about list changes not saved goes
  /// here instead of a box.
  void setUnsavedListHandler(UnsavedListGuard::Ask handler);
  /// Above the results while they are not of the list open; hidden otherwise.
  QLabel* resultsBanner() const { return resultsBanner_; }
  /// The list changed since it was opened or saved.
  bool listModified() const;

  /// The rows of the log were exported, so closing need not ask about them.
  void markRowsSaved() { rowsSaved_ = true; }
  /// Exported, or every row is in the run's journal.
  bool rowsSaved() const;

 public slots:
  /// The file actions once a name is chosen (the buttons ask the dialog first).
  /// Open asks first when the list has changes not saved, and is refused
  /// while a test runs.
  void openStepFile(const QString& path);
  /// True once the list is written.
  bool saveStepFile(const QString& path);
  void saveLog(const QString& path);
  /// Shows the rows of a journal or CSV report (read-only) in the result
  /// view, chart and summary; refused while a test runs, the file's fault
  /// said in a box. True once shown.
  bool openResults(const QString& path);
  /// The run report of the results shown to `path`; says what became of it.
  void writeReport(const QString& path);
  /// "Start Test": the connection dialog first while the settings file's
  /// connection values are unusable, the question when the check finds errors.
  void runTest();
  void stopTest();
  /// "Check": the findings in the "Check" tab, the plan's time in the status
  /// line, and (`announce`) the counts in the status line's message.
  std::vector<CheckFinding> checkSteps(bool announce = true);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  QWidget* buildButtonRow();
  void buildHiddenControls(QWidget* parent);
  void buildStatusLine();
  void connectStation();
  void startUp(const std::string& stepFile);

  /// The title, the recent lists, the results banner, the journal folder.
  void buildFileParts();
  void onOpenClicked();
  /// True once the list is written (false also when the dialog was cancelled).
  bool onSaveClicked();
  void fillRecentMenu();
  void updateTitle();
  /// Asks before `action` drops list changes not saved; true when it may go on.
  bool mayDropListChanges(const QString& action);
  void updateResultsBanner();
  /// Where run journals go (made when missing).
  std::string journalFolder() const;
  void openJournalFolder();
  void onSaveLogClicked();
  void onOpenResultsClicked();
  void onReportClicked();
  /// What the metadata of a Battery Data Format file says about this run.
  BdfRunFacts bdfFacts() const;
  /// "Device Connect Setup": the connection dialog, then the identification.
  void OpenConnectionSetup();
  /// Shows the dialog (on option `openOnMode` when >= 0), applies its settings
  /// once the link is idle and, when they are usable, identifies and runs `then`.
  void runConnectionSetup(int openOnMode, std::function<void()> then);
  /// Keys of the settings in use that would connect with a substituted value.
  std::vector<std::string> unusableKeys() const;
  void startCheckedRun();
  void buildRunParts();
  void configureJournal();
  void onMeasurementsLost();

  void onStepStarted(int row, int previousRow);
  void onRunFinished(int lastRow);
  /// However the run ended: the state indicator, the running row, the reading.
  void onRunEnded();
  void showRunState();
  void onRowAdded(qsizetype index);
  void onIdentified(const QString& modelText, const QStringList& functions);
  void onTickFinished();
  void onRunningChanged(bool running);
  /// Run start and end: where the journal and the sleep inhibitor hook in.
  void runStarted();
  void runEnded();

  void showBox(const QString& text);
  void showOutcome(const FileActionOutcome& outcome);
  bool ask(const QString& question);
  /// Asks what closing now would lose; true when the window may close (a
  /// running test has then been stopped).
  bool confirmClose();
  /// Runs `work` now, or once the transaction on the link has ended.
  void whenLinkIdle(std::function<void()> work);
  void runIdleWork();
  void updateConnectionText();
  void updateStepCount();

  Bench& bench_;
  DesktopMessageSink& sink_;
  Station& station_;
  StepEditor editor_;
  StepFileActions files_;
  ResultLogModel* logModel_ = nullptr;

  QLabel* label24_ = nullptr;
  QLabel* nameLabel_ = nullptr;
  StepEditorWidget* editorWidget_ = nullptr;
  QPushButton* openCommand_ = nullptr;
  QToolButton* recentButton_ = nullptr;
  QPushButton* saveCommand_ = nullptr;
  QPushButton* connectCommand_ = nullptr;
  QPushButton* runCommand_ = nullptr;
  QPushButton* stopCommand_ = nullptr;
  QPushButton* saveLogCmd_ = nullptr;
  QPushButton* openResultsCmd_ = nullptr;
  QPushButton* reportCmd_ = nullptr;
  QPushButton* checkCommand_ = nullptr;
  QLabel* runStateLabel_ = nullptr;
  QLabel* resultsBanner_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  RunChart* chart_ = nullptr;
  RunSummaryModel* summaryModel_ = nullptr;
  CheckFindingsView* checkView_ = nullptr;
  std::unique_ptr<Clock> clock_;
  RunJournalKeeper* journal_ = nullptr;
  RowPlaceRecorder* places_ = nullptr;
  RunChartFeed* chartFeed_ = nullptr;
  SleepInhibitor* inhibitor_ = nullptr;
  QTableView* listView1_ = nullptr;
  QLineEdit* measTimeText_ = nullptr;
  QLabel* label20_ = nullptr;
  QLabel* label21_ = nullptr;
  QListWidget* list1_ = nullptr;
  QLineEdit* text1_ = nullptr;

  // The status line's message (what QStatusBar::showMessage says), then its fields.
  ElidedLabel* messageStatus_ = nullptr;
  ElidedLabel* connectionStatus_ = nullptr;
  ElidedLabel* stepStatus_ = nullptr;
  ElidedLabel* timeLeftStatus_ = nullptr;
  ElidedLabel* elapsedStatus_ = nullptr;
  ElidedLabel* readingStatus_ = nullptr;
  ElidedLabel* planStatus_ = nullptr;
  // Runs the check again once the list or the model has stopped changing.
  QTimer* recheck_ = nullptr;
  ElidedLabel* journalStatus_ = nullptr;

  std::function<bool(const QString&)> questionHandler_;
  std::function<void(ConnectionSetupForm&)> dialogHandler_;
  UnsavedListGuard::Ask unsavedListHandler_;
  ResultsOrigin resultsOrigin_;
  std::vector<std::function<void()>> idleWork_;
  QElapsedTimer runClock_;
  RunState runState_;
  /// The latest reading of the run, as the status line shows it.
  QString reading_;
  int runningRow_ = 0;
  bool rowsSaved_ = true;
  bool closeConfirmed_ = false;
  bool lostShown_ = false;
};

}  // namespace kv
