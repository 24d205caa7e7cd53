// The main window on the simulated load inside the program, driven as an
// operator would, with the file dialogs and message boxes bypassed.
#include "ui/main_form.h"

#include <gmock/gmock.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>
#include <memory>

#include "link/ini_file.h"
#include "link/transports/event_wait.h"
#include "results/csv_export.h"
#include "sim/simulated_load.h"
#include "station/bench.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "support/scripted_instrument.h"
#include "ui/check_findings_view.h"
#include "ui/connection_setup_form.h"
#include "ui/desktop_message_sink.h"
#include "ui/elided_label.h"
#include "ui/run_chart.h"
#include "ui/step_editor_widget.h"
#include "ui/step_grid_model.h"
#include "ui/step_list_view.h"

namespace kv {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// Three one-second steps; a list whose LOOP has no partner.
const std::string kThreeSteps = KV_TEST_DATA_DIR "/ui/three.tsf";
const std::string kLoopWithoutEnd = KV_TEST_DATA_DIR "/ui/loop.tsf";
const std::string kOneMinute = KV_TEST_DATA_DIR "/ui/one_minute.tsf";

// Stands in for the desktop's file manager.
class UrlCatcher : public QObject {
  Q_OBJECT

 public slots:
  void open(const QUrl& url) { urls << url; }

 public:
  QList<QUrl> urls;
};

class MainFormTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
  std::string IniPath() const { return Path("KV26.INI"); }

  void Start() {
    ASSERT_TRUE(WriteIniValue(IniPath(), kSystemSection, "AutoSaveLog", autoSaveLog_));
    BenchOptions options;
    options.iniPath = IniPath();
    options.simulated = simulated_;
    bench_ = Bench::Open(options, sink_);
    MainFormOptions formOptions;
    formOptions.folders.programFolder = dir_.path();
    formOptions.folders.documentsFolder = dir_.filePath("documents");
    form_ = std::make_unique<MainForm>(*bench_, sink_, formOptions);
    form_->setMessageHandler([this](const QString& m) { messages_ << m; });
    form_->setQuestionHandler([this](const QString& q) {
      questions_ << q;
      return answer_;
    });
    form_->show();
  }

  void StartWith(const std::string& stepFile) {
    ASSERT_TRUE(WriteIniValue(IniPath(), kStepFileSection, kTestFileNameKey, stepFile));
    Start();
  }

  Station& station() { return form_->station(); }
  static std::size_t LinesIn(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? static_cast<std::size_t>(f.readAll().count("\r\n")) : 0;
  }
  /// Boxes show from the event loop.
  bool WaitForMessages(qsizetype count) {
    return QTest::qWaitFor([&] { return messages_.size() >= count; }, 3000);
  }
  /// Waits until the log holds at least `rows` rows.
  bool WaitForRows(std::size_t rows) {
    QSignalSpy added(&station(), &Station::rowAdded);
    while (station().Log().RowCount() < rows) {
      if (!added.wait(3000)) {
        return false;
      }
    }
    return true;
  }

  void TearDown() override {
    if (form_) {
      station().Halt();
    }
  }

  QTemporaryDir dir_;
  // Most cases look at the log alone; the journal case turns it on.
  const char* autoSaveLog_ = "0";
  bool simulated_ = true;
  bool answer_ = true;
  DesktopMessageSink sink_;
  std::unique_ptr<Bench> bench_;
  std::unique_ptr<MainForm> form_;
  QStringList messages_;
  QStringList questions_;
};

TEST_F(MainFormTest,
       StartsUpWithTheLastStepFileAsksTheLoadOnlyAfterTheDialogAndForgetsAMissingFile) {
  struct Case {
    const std::string* testFileName;  // nullptr: no entry
    int rows;
    const char* text1;
  };
  for (const Case& c : {Case{nullptr, 2, "0"}, Case{&kThreeSteps, 5, "3"}}) {
    SCOPED_TRACE(c.rows);
    QFile::remove(QString::fromStdString(IniPath()));
    // An older installation's last saved list may be older than its last opened one.
    ASSERT_TRUE(WriteIniValue(IniPath(), kSystemSection, kLastTestStepFileKey, kLoopWithoutEnd));
    if (c.testFileName != nullptr) {
      ASSERT_TRUE(WriteIniValue(IniPath(), kStepFileSection, kTestFileNameKey, *c.testFileName));
    }
    Start();
    EXPECT_EQ(station().Steps().Rows(), c.rows);
    EXPECT_EQ(form_->stepCountBox()->text(), QLatin1String(c.text1));
    EXPECT_FALSE(station().IsRunnerTimerActive());
    EXPECT_TRUE(station().ModelText().empty());  // nothing asked at start-up
    if (c.testFileName == nullptr) {             // Start Test has nothing to run, and says so
      form_->runTest();
      EXPECT_TRUE(WaitForMessages(1) && messages_.takeFirst().contains("has no steps"));
    }
    // Closing the connection dialog identifies the load.
    int dialogs = 0;
    form_->setDialogHandler([&](ConnectionSetupForm& dialog) {
      ++dialogs;
      dialog.reject();
    });
    QSignalSpy identified(&station(), &Station::identified);
    form_->findChild<QPushButton*>(QStringLiteral("ConnectCommand"))->click();
    ASSERT_TRUE(identified.wait(3000));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(station().ModelText(), bench_->SimulatedModel());
    // Opening a file that is gone empties the list and remembers the name.
    form_->openStepFile(QString::fromStdString(Path("gone.tsf")));
    EXPECT_EQ(station().Steps().Rows(), 2);
    EXPECT_EQ(form_->stepCountBox()->text(), "0");
    EXPECT_EQ(form_->currentStepFile(), Path("gone.tsf"));
    EXPECT_EQ(ReadIniValue(IniPath(), kStepFileSection, kTestFileNameKey, ""), Path("gone.tsf"));
    form_.reset();
  }
}

TEST_F(MainFormTest, AFullRunHighlightsEachRunningRowAtTheTopAndEndsWhite) {
  StartWith(kThreeSteps);
  StepListView* list = form_->stepEditor()->listView();
  // Room for two rows: the running row must come to the top, not just into view.
  QTableView* table = list->table();
  table->setFixedHeight(table->horizontalHeader()->height() +
                        table->horizontalScrollBar()->sizeHint().height() +
                        2 * table->rowHeight(0) + 2 * table->frameWidth() + 2);
  auto yellowRows = [list] {
    QStringList rows;
    for (int row = 1; row <= 3; ++row) {
      rows << (list->model()->isRowHighlighted(row) ? QString::number(row) : "-");
    }
    return rows.join(' ');
  };
  QStringList seen;  // the list scrolls by whole rows
  QObject::connect(&station(), &Station::stepStarted, form_.get(), [&] {
    seen << yellowRows() + QStringLiteral(", top %1").arg(table->verticalScrollBar()->value() + 1);
  });
  form_->chart()->AddPoint(1000.0, 1, 1, 1);  // left from an earlier run
  QSignalSpy finished(&station(), &Station::runFinished);
  form_->runTest();
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_TRUE(questions_.isEmpty());  // the check found no error

  EXPECT_THAT(seen, ElementsAre("1 - -, top 1", "- 2 -, top 2", "- - 3, top 3"));
  EXPECT_EQ(yellowRows(), "- - -");
  EXPECT_EQ(form_->resultView()->model()->rowCount(), 3);
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_THAT(messages_, ElementsAre("Test Finished"));
  // The chart starts over with the run and takes a point per row; the
  // summary has a line per step and the run's end is in the status line.
  EXPECT_EQ(form_->chart()->PointCount(), 3u);
  EXPECT_LT(form_->chart()->VisibleRange().second, 10.0);  // the ended run fills the width
  auto* summary = form_->findChild<QTableView*>(QStringLiteral("SummaryView"));
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->model()->rowCount(), 3);
  EXPECT_EQ(summary->model()->index(1, 1).data().toString(), "Rest");
  EXPECT_THAT(form_->findChild<ElidedLabel*>(QStringLiteral("StepStatus"))->text().toStdString(),
              HasSubstr("end of list"));
  EXPECT_EQ(form_->findChild<QLabel*>(QStringLiteral("RunState"))->text(), "Finished");
  // A narrow window cuts no text in the status line: a field too short
  // shows "…" and holds the whole text in its tool tip.
  form_->statusBar()->showMessage(QStringLiteral("A message longer than the room it gets ") +
                                  QString(40, QLatin1Char('x')));
  form_->resize(700, form_->height());
  QCoreApplication::processEvents();
  const QList<ElidedLabel*> fields = form_->statusBar()->findChildren<ElidedLabel*>();
  EXPECT_TRUE(std::any_of(fields.begin(), fields.end(), [](auto* f) { return f->isElided(); }));
  for (ElidedLabel* f : fields) {
    EXPECT_TRUE(!f->isElided() || f->toolTipText().startsWith(f->text()))
        << f->text().toStdString();
  }
}

TEST_F(MainFormTest, StopOrAConfirmedCloseTurnsTheLoadOffAndAsksOnlyAboutRowsNotSavedOrJournaled) {
  struct Case {
    const char* autoSaveLog;
    bool byClose;
    int questions;  // the run, then the rows not saved
  };
  for (const Case& c : {Case{"0", false, 0}, Case{"0", true, 2}, Case{"1", true, 1}}) {
    SCOPED_TRACE(testing::Message() << c.autoSaveLog << c.byClose);
    autoSaveLog_ = c.autoSaveLog;
    const bool journaled = c.autoSaveLog[0] == '1';
    StartWith(kOneMinute);
    form_->runTest();
    ASSERT_TRUE(WaitForRows(1));
    // Save Log during the run writes the rows so far, and the run goes on.
    const std::size_t rows = station().Log().RowCount();
    form_->saveLog(QString::fromStdString(Path("run.csv")));
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_THAT(messages_,
                ElementsAre(QStringLiteral("Convert OK\n\n%1")
                                .arg(QDir::toNativeSeparators(dir_.filePath("RUN_0.CSV")))));
    EXPECT_EQ(LinesIn(dir_.filePath("RUN_0.CSV")), rows + 1);
    EXPECT_TRUE(form_->rowsSaved());
    // A .bdf.csv name writes the Battery Data Format table and its metadata.
    const std::size_t measured = station().Log().RowCount();
    form_->saveLog(QString::fromStdString(Path("run.bdf.csv")));
    ASSERT_TRUE(WaitForMessages(2));
    EXPECT_EQ(LinesIn(dir_.filePath("run.bdf.csv")), measured + 1);
    EXPECT_TRUE(QFile::exists(dir_.filePath("run.bdf.json")));
    // The report of the run so far; a folder that is not there is named.
    form_->writeReport(QString::fromStdString(Path("none/run.pdf")));
    ASSERT_TRUE(WaitForMessages(3));
    EXPECT_THAT(messages_.last().toStdString(),
                HasSubstr(Path("none/run.pdf") + ": No such file or directory"));
    form_->writeReport(QString::fromStdString(Path("run.pdf")));
    EXPECT_TRUE(QFile::exists(dir_.filePath("run.pdf")));
    ASSERT_TRUE(WaitForRows(rows + 1));
    EXPECT_EQ(form_->rowsSaved(), journaled);
    // With no Default Path the journals go where people look for files.
    const QDir documents(dir_.filePath("documents"));
    const QStringList journals = documents.entryList({"kvload-*.csv"}, QDir::Files);
    ASSERT_EQ(journals.size(), journaled ? 1 : 0);
    if (!journals.isEmpty()) {
      EXPECT_EQ(LinesIn(documents.filePath(journals.first())), station().Log().RowCount() + 1);
      const QString full = QDir::toNativeSeparators(documents.filePath(journals.first()));
      EXPECT_TRUE(form_->findChild<ElidedLabel*>(QStringLiteral("JournalStatus"))
                      ->toolTipText()
                      .contains(full));
      UrlCatcher opened;
      QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
      form_->findChild<QToolButton*>(QStringLiteral("OpenJournalFolder"))->click();
      QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
      EXPECT_THAT(opened.urls, ElementsAre(QUrl::fromLocalFile(documents.absolutePath())));
    }
    ASSERT_TRUE(bench_->SimLoad()->InputOn());
    if (c.byClose) {
      EXPECT_TRUE(form_->close());
    } else {
      form_->stopTest();
    }
    EXPECT_EQ(questions_.size(), c.questions);
    EXPECT_FALSE(bench_->SimLoad()->InputOn());
    if (!c.byClose) {
      EXPECT_EQ(form_->statusBar()->currentMessage(), "Stopped: the load was turned off");
      form_->stopTest();
      EXPECT_THAT(form_->statusBar()->currentMessage().toStdString(),
                  HasSubstr("No test was running"));
    }
    EXPECT_FALSE(station().IsRunning());
    questions_.clear();
    messages_.clear();
    form_.reset();
  }
}

TEST_F(MainFormTest, TabWalksTheButtonsF5AsksBeforeARestartAndOnlyStopOrShiftF5EndsARun) {
  StartWith(kOneMinute);
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  form_->runTest();
  ASSERT_TRUE(WaitForRows(2));
  auto* state = form_->findChild<QLabel*>(QStringLiteral("RunState"));
  auto* start = form_->findChild<QPushButton*>(QStringLiteral("RunCommand"));
  EXPECT_EQ(state->text(), "Running (step 1 of 1, Discharge)");
  EXPECT_FALSE(start->isEnabled());
  // F5 during the run asks first (No is the default); a restart starts the clock over.
  QSignalSpy cleared(&station(), &Station::logCleared);
  for (const bool answer : {false, true}) {
    answer_ = answer;
    QTest::keyClick(form_.get(), Qt::Key_F5);
    EXPECT_EQ(cleared.size(), answer ? 1 : 0);
    EXPECT_TRUE(station().IsRunning());
  }
  ASSERT_EQ(questions_.size(), 2);
  EXPECT_THAT(questions_.first().toStdString(), HasSubstr("Restart?"));
  EXPECT_EQ(form_->findChild<ElidedLabel*>(QStringLiteral("ElapsedStatus"))->text(),
            "Run 00:00:00");
  ASSERT_TRUE(WaitForRows(1));

  QTest::keyClick(form_.get(), Qt::Key_Escape);
  QTest::keyClick(form_->stepEditor()->listView()->table(), Qt::Key_Escape);
  EXPECT_TRUE(station().IsRunning());
  QTest::keyClick(form_.get(), Qt::Key_F5, Qt::ShiftModifier);
  EXPECT_FALSE(station().IsRunning());
  EXPECT_FALSE(bench_->SimLoad()->InputOn());
  // The end shows: no yellow row, the reading marked as past, Start back.
  EXPECT_EQ(state->text(), "Stopped (load off)");
  EXPECT_FALSE(form_->stepEditor()->listView()->model()->isRowHighlighted(1));
  EXPECT_THAT(form_->findChild<ElidedLabel*>(QStringLiteral("ReadingStatus"))->text().toStdString(),
              testing::StartsWith("Last: "));
  EXPECT_TRUE(start->isEnabled());

  auto* open = form_->findChild<QPushButton*>(QStringLiteral("OpenCommand"));
  open->setFocus(Qt::TabFocusReason);
  // With rows in both tables.
  QStringList stops;  // the buttons and the two big tables, as Tab reaches them
  for (int i = 0; i < 300 && (stops.isEmpty() || form_->focusWidget() != open); ++i) {
    QWidget* focus = form_->focusWidget();
    if (qobject_cast<QPushButton*>(focus) != nullptr ||
        QStringList{"StepGrid", "ListView1"}.contains(focus->objectName())) {
      stops << focus->objectName();
    }
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  EXPECT_EQ(stops.join(' ').toStdString(),
            "OpenCommand SaveCommand ConnectCommand CheckCommand RunCommand StopCommand "
            "OpenResultsCmd SaveLogCmd ReportCmd AddIntoCommand InsertCommand ReplaceCommand "
            "RemoveCommand MoveUpCommand MoveDnCommand StepGrid ListView1");
}

TEST_F(MainFormTest, ChangesAskBeforeTheyAreLostAndResultsOfAnotherListAreMarked) {
  const std::string mine = Path("three.tsf");
  ASSERT_TRUE(QFile::copy(QString::fromStdString(kThreeSteps), QString::fromStdString(mine)));
  StartWith(mine);
  const auto title = [this](const char* list) {
    return QStringLiteral("%1 – %2").arg(list, kMainFormCaption);
  };
  EXPECT_EQ(form_->windowTitle(), title("three.tsf"));
  QStringList asked;
  UnsavedChoice choice = UnsavedChoice::Cancel;
  form_->setUnsavedListHandler([&](const QString& q) {
    asked << q;
    return choice;
  });
  QUndoStack* undo = form_->stepEditor()->undoStack();
  form_->stepEditor()->removeStep();
  EXPECT_EQ(form_->windowTitle(), title("three.tsf*"));
  undo->undo();  // back to what the file holds
  EXPECT_EQ(form_->windowTitle(), title("three.tsf"));
  undo->redo();
  // Cancel keeps the list and the window.
  form_->openStepFile(QString::fromStdString(kOneMinute));
  EXPECT_FALSE(form_->close());
  EXPECT_EQ(asked.size(), 2);
  EXPECT_EQ(form_->currentStepFile(), mine);
  // While a run goes no list replaces the one it runs.
  auto* open = form_->findChild<QPushButton*>(QStringLiteral("OpenCommand"));
  form_->runTest();
  ASSERT_TRUE(WaitForRows(1));
  EXPECT_FALSE(open->isEnabled());
  EXPECT_FALSE(form_->findChild<QPushButton*>(QStringLiteral("OpenResultsCmd"))->isEnabled());
  form_->openStepFile(QString::fromStdString(kOneMinute));
  EXPECT_EQ(form_->currentStepFile(), mine);
  form_->stopTest();
  EXPECT_TRUE(open->isEnabled());
  // Save writes the list, then it opens the other; the results stay, marked.
  choice = UnsavedChoice::Save;
  form_->openStepFile(QString::fromStdString(kOneMinute));
  EXPECT_EQ(asked.size(), 3);
  EXPECT_EQ(LinesIn(QString::fromStdString(mine)), 3u);
  EXPECT_EQ(form_->windowTitle(), title("one_minute.tsf"));
  EXPECT_FALSE(undo->canUndo());  // its steps were another list's
  EXPECT_GT(form_->resultView()->model()->rowCount(), 0);
  EXPECT_TRUE(form_->resultsBanner()->isVisibleTo(form_.get()));
  EXPECT_THAT(form_->resultsBanner()->text().toStdString(),
              MatchesRegex("Results of three.tsf, run at [0-9:]{8}"));
  QMenu* recent = form_->findChild<QToolButton*>(QStringLiteral("RecentLists"))->menu();
  emit recent->aboutToShow();
  QStringList entries;
  for (QAction* a : recent->actions()) {
    entries << a->text();
  }
  EXPECT_THAT(entries, ElementsAre("&1  " + QDir::toNativeSeparators(kOneMinute.c_str()),
                                   "&2  " + QDir::toNativeSeparators(mine.c_str())));
  form_->runTest();
  EXPECT_TRUE(form_->resultsBanner()->isHidden());
  form_->stopTest();
  // A report reopens as its rows, marked; a list is refused with the reason.
  QFile report(dir_.filePath("r.csv"));
  ASSERT_TRUE(report.open(QIODevice::WriteOnly));
  report.write(QByteArray(kCsvHeader.data()) + "\r\n");
  for (int row = 1; row <= 5; ++row) {
    report.write(QByteArray::number(row) + ",10:00:01,4.1,1,4.1,0,0,2026/12/06 10:00:01,Rest,\r\n");
  }
  report.close();
  EXPECT_FALSE(form_->openResults(QString::fromStdString(mine)));
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_THAT(messages_.last().toStdString(), HasSubstr("first line is not the header"));
  ASSERT_TRUE(form_->openResults(report.fileName()));
  EXPECT_EQ(form_->resultView()->model()->rowCount(), 5);
  EXPECT_THAT(form_->resultsBanner()->text().toStdString(), HasSubstr("reopened from r.csv"));
  // A list only saved is the one the next start opens.
  form_->stepEditor()->removeStep();
  EXPECT_TRUE(form_->saveStepFile(QString::fromStdString(Path("saved.tsf"))));
  EXPECT_EQ(form_->windowTitle(), title("saved.tsf"));
  undo->undo();
  choice = UnsavedChoice::Discard;
  EXPECT_TRUE(form_->close());
  EXPECT_EQ(asked.size(), 4);
  form_.reset();
  Start();
  EXPECT_EQ(form_->currentStepFile(), Path("saved.tsf"));
  EXPECT_EQ(station().Steps().StepCount(), 0);
}

TEST_F(MainFormTest, TheCheckIsNeverStaleStartNamesItsErrorsAndAFindingSelectsItsStep) {
  StartWith(kLoopWithoutEnd);
  CheckFindingsView* findings = form_->checkView();
  const auto step2 = [findings] {
    return findings->findItems(QStringLiteral("step 2"), Qt::MatchStartsWith);
  };
  // Checked as soon as the list is there, and again at every change, without
  // pressing Check. A battery step before any identification is no error: no
  // model is known yet.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !step2().isEmpty(); }, 1000));
  station().Steps().SetCell(1, kColFunction, "Battery Discharge CC");
  const auto step1 = [findings] {
    return findings->findItems(QStringLiteral("step 1"), Qt::MatchStartsWith);
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return !step1().isEmpty(); }, 1000));  // its empty cells
  const auto errors1 = findings->findItems(QStringLiteral("step 1: error"), Qt::MatchStartsWith);
  EXPECT_TRUE(errors1.isEmpty()) << errors1.first()->text().toStdString();
  station().Steps().SetCell(1, kColFunction, "Rest");
  for (const bool answer : {false, true}) {
    SCOPED_TRACE(answer);
    answer_ = answer;
    form_->runTest();
    EXPECT_EQ(questions_.size(), answer ? 2 : 1);
    EXPECT_THAT(questions_.last().toStdString(), HasSubstr("\nstep 2: error: LOOP"));
    EXPECT_EQ(station().IsRunnerTimerActive(), answer);
  }
  station().Halt();
  const auto items = step2();
  ASSERT_FALSE(items.isEmpty());
  StepListView* list = form_->stepEditor()->listView();
  list->table()->setCurrentIndex({});
  emit findings->itemClicked(items.first());
  EXPECT_EQ(list->table()->currentIndex().row(), list->model()->indexOfCell(2, kColStepNo).row());
}

TEST_F(MainFormTest, UnusableConnectionValuesOpenTheDialogInsteadOfConnecting) {
  simulated_ = false;
  ASSERT_TRUE(WriteIniValue(IniPath(), kLoadOptionSection, kConnectModeKey, "2"));
  ASSERT_TRUE(WriteIniValue(IniPath(), kLoadOptionSection, kLanPortKey, "0"));
  StartWith(kThreeSteps);
  EXPECT_THAT(form_->statusBar()->currentMessage().toStdString(), HasSubstr("LanPort"));

  bool onLan = false;
  form_->setDialogHandler([&](ConnectionSetupForm& dialog) {
    onLan = dialog.findChild<QRadioButton*>(QStringLiteral("Option3"))->isChecked();
    dialog.reject();
  });
  form_->runTest();
  EXPECT_TRUE(onLan);
  EXPECT_FALSE(station().IsRunnerTimerActive());

  // Usable values saved: the run starts.
  form_->setDialogHandler([](ConnectionSetupForm& dialog) {
    dialog.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("4001"));
    dialog.Save();
  });
  form_->runTest();
  EXPECT_EQ(bench_->Settings().lanPort, 4001);
  EXPECT_TRUE(station().IsRunnerTimerActive());
}

TEST_F(MainFormTest, ALostLinkIsOneBoxWithALoadThatMayBeOnFirstAndTheRunStateSaysWhich) {
  StartWith(kThreeSteps);
  auto* state = form_->findChild<QLabel*>(QStringLiteral("RunState"));
  // The load not reached again: its report heads the box the lost
  // measurements are told in (once per run).
  form_->runTest();
  emit station().measurementsLost();
  emit station().measurementsLost();
  emit station().linkLossHandled(false, QStringLiteral("Link lost: it may still be on"));
  station().EndRunForLinkLoss();
  EXPECT_EQ(state->text(), "Link lost (load may be on)");
  ASSERT_TRUE(WaitForMessages(1));
  EXPECT_THAT(
      messages_.first().toStdString(),
      MatchesRegex("Link lost: it may still be on\nTurn the [^\n]*\n\nThe load stopped [^\n]*"));
  EXPECT_THAT(form_->statusBar()->currentMessage().toStdString(), HasSubstr("may still be on"));

  // The station reaches the simulated load again and turns it off.
  messages_.clear();
  QSignalSpy ended(&station(), &Station::runEnded);
  form_->runTest();
  emit station().measurementsLost();
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_EQ(state->text(), "Link lost (load off)");
  EXPECT_FALSE(bench_->SimLoad()->InputOn());
  ASSERT_TRUE(WaitForMessages(1));
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_THAT(messages_.first().toStdString(),
              (MatchesRegex("Link lost: [^\n]* reached again [^\n]*\n\nThe load stopped [^\n]*")));
  EXPECT_THAT(form_->statusBar()->currentMessage().toStdString(), HasSubstr("reached again"));
}

TEST(DesktopMessageSinkTest, LinkMessagesOfATickShowAfterItInOneBoxTheMostUrgentFirst) {
  test::ScriptedInstrument load;
  load.Reply("name?", "KV-G100");
  load.Reply("MEAS:VC?", "12.000,1.000");
  Station station(load);
  DesktopMessageSink sink;
  sink.Watch(station);
  QStringList shown;
  bool shownInsideATransaction = false;
  sink.SetShowHandler([&](const QString& text) {
    shownInsideATransaction = shownInsideATransaction || station.IsLinkBusy();
    shown << text;
  });
  load.OnWrite([&](std::string_view line) {
    if (line == "MEAS:VC?") {
      sink.Raise("Test Finished", MessageUrgency::Info);
      sink.ShowMessage("Connect Fail!");
      WaitMilliseconds(20);  // the event loop runs inside the transaction
      sink.Raise("Link lost: it may still be on", MessageUrgency::LoadMayBeOn);
      sink.ShowMessage("Lost Connect!");
      sink.ShowMessage("Connect Fail!");
    }
  });
  station.Steps().SetRows(3);
  station.Steps().SetCell(1, kColFunction, "Rest");
  station.Steps().SetCell(1, kColTStop, "5");
  QSignalSpy ticks(&station, &Station::tickFinished);
  QSignalSpy flushed(&sink, &DesktopMessageSink::shown);
  station.Run();
  ASSERT_TRUE(ticks.wait(3000));
  if (flushed.isEmpty()) {
    ASSERT_TRUE(flushed.wait(1000));
  }
  station.Halt();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_THAT(shown.first().toStdString(),
              (MatchesRegex("Link lost: it may still be on\nTurn the [^\n]*\n\n"
                            "Connect Fail!\n\nLost Connect!\n\nTest Finished")));
  EXPECT_FALSE(shownInsideATransaction);
}

TEST(DesktopMessageSinkTest, WhatComesWhileTheBoxIsOpenJoinsIt) {
  QWidget window;
  DesktopMessageSink sink;
  sink.SetBoxParent(&window);
  const auto boxes = [&] {
    QStringList texts;  // of those on screen
    for (const QMessageBox* box : window.findChildren<QMessageBox*>()) {
      texts << (box->isVisible() ? box->text() : QString());
    }
    return texts.filter(QRegularExpression("."));
  };
  sink.Raise("Convert OK", MessageUrgency::Info);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes().isEmpty(); }, 1000));
  sink.Raise("Lost Connect!", MessageUrgency::Link);
  ASSERT_TRUE(QTest::qWaitFor([&] { return boxes().first().startsWith("Lost"); }, 1000));
  EXPECT_THAT(boxes(), ElementsAre("Lost Connect!\n\nConvert OK"));
  // Once it is closed the next message has a box of its own.
  window.findChild<QMessageBox*>()->accept();
  sink.Raise("Test Finished", MessageUrgency::Info);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes().isEmpty(); }, 1000));
  EXPECT_THAT(boxes(), ElementsAre("Test Finished"));
}

}  // namespace
}  // namespace kv

#include "main_form_test.moc"
