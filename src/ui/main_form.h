#pragma once
// The desktop program's main window "Kalvane DC Load Test Program R1.2d". It
// composes the parts: the step editor widget, the file actions, the run
// controls with the running-row highlight, the result view and the status
// line, and wires them to the station of the bench it borrows.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "steps/step_editor.h"
#include "ui/step_file_actions.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableView;

namespace kv {

class Bench;
class DesktopMessageSink;
class ResultLogModel;
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
  QLabel* nameLabel() const { return nameLabel_; }
  QLineEdit* stepCountBox() const { return text1_; }
  const std::string& currentStepFile() const { return files_.CurrentStepFile(); }

  /// Boxes (failures, "Test Finished", "Convert OK") go here instead of on screen.
  void setMessageHandler(std::function<void(const QString&)> handler);
  /// Yes/no questions (closing) go here instead of a box.
  void setQuestionHandler(std::function<bool(const QString&)> handler);

  /// The rows of the log are kept elsewhere (exported or journaled), so
  /// closing need not ask about them.
  void markRowsSaved() { rowsSaved_ = true; }
  bool rowsSaved() const { return rowsSaved_; }

 public slots:
  /// The file actions once a name is chosen (the buttons ask the dialog first).
  void openStepFile(const QString& path);
  void saveStepFile(const QString& path);
  void saveLog(const QString& path);
  void runTest();
  void stopTest();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  QWidget* buildButtonRow();
  void buildHiddenControls(QWidget* parent);
  void buildStatusLine();
  void connectStation();
  void startUp(const std::string& stepFile);

  void onOpenClicked();
  void onSaveClicked();
  void onSaveLogClicked();
  /// "Device Connect Setup": the connection dialog, then the identification.
  void OpenConnectionSetup();

  void onStepStarted(int row, int previousRow);
  void onRunFinished(int lastRow);
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
  QPushButton* saveCommand_ = nullptr;
  QPushButton* connectCommand_ = nullptr;
  QPushButton* runCommand_ = nullptr;
  QPushButton* stopCommand_ = nullptr;
  QPushButton* saveLogCmd_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTableView* listView1_ = nullptr;
  QLineEdit* measTimeText_ = nullptr;
  QLabel* label20_ = nullptr;
  QLabel* label21_ = nullptr;
  QListWidget* list1_ = nullptr;
  QLineEdit* text1_ = nullptr;

  QLabel* connectionStatus_ = nullptr;
  QLabel* stepStatus_ = nullptr;
  QLabel* timeLeftStatus_ = nullptr;
  QLabel* elapsedStatus_ = nullptr;
  QLabel* readingStatus_ = nullptr;

  std::function<void(const QString&)> messageHandler_;
  std::function<bool(const QString&)> questionHandler_;
  std::vector<std::function<void()>> idleWork_;
  QElapsedTimer runClock_;
  int runningRow_ = 0;
  bool rowsSaved_ = true;
  bool closeConfirmed_ = false;
};

}  // namespace kv
