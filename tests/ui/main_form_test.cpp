// The main window on the simulated load inside the program, driven as an
// operator would, with the file dialogs and message boxes bypassed.
#include "ui/main_form.h"

#include <gmock/gmock.h>

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <memory>

#include "link/ini_file.h"
#include "link/link_settings.h"
#include "link/transports/event_wait.h"
#include "sim/simulated_load.h"
#include "station/bench.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "support/scripted_instrument.h"
#include "ui/desktop_message_sink.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"
#include "ui/step_grid_model.h"
#include "ui/step_list_view.h"

namespace kv {
namespace {

using ::testing::ElementsAre;

// Three one-second steps.
constexpr const char* kThreeSteps =
    "StepNo.,Function,Mode,SinkValue,VStop,TStop,AhStop,Times,Start,Step,Stop,Vth,Limit High,"
    "Limit Low,High,Low,T-High,T-Low,Rise,Fall,Load Off V,CV Add,Cycle Count,Ramp CC,Ramp Time,"
    "Total Step\r\n"
    "1,Discharge,CC,1,0,1,0,,,,,,,,,,,,,,,,,,,\r\n"
    "2,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,\r\n"
    "3,Discharge,CC,2,0,1,0,,,,,,,,,,,,,,,,,,,\r\n";

class MainFormTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
  std::string IniPath() const { return Path("KV26.INI"); }

  void WriteFile(const std::string& path, const char* text) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

  void Start() {
    BenchOptions options;
    options.iniPath = IniPath();
    options.simulated = true;
    bench_ = Bench::Open(options, sink_);
    MainFormOptions formOptions;
    formOptions.folders.programFolder = dir_.path();
    form_ = std::make_unique<MainForm>(*bench_, sink_, formOptions);
    form_->setMessageHandler([this](const QString& m) { messages_ << m; });
    form_->setQuestionHandler([this](const QString& q) {
      questions_ << q;
      return true;
    });
    form_->show();
  }

  void StartWithThreeSteps() {
    WriteFile(Path("three.tsf"), kThreeSteps);
    ASSERT_TRUE(WriteIniValue(IniPath(), kStepFileSection, kTestFileNameKey, Path("three.tsf")));
    Start();
  }

  Station& station() { return form_->station(); }
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
  DesktopMessageSink sink_;
  std::unique_ptr<Bench> bench_;
  std::unique_ptr<MainForm> form_;
  QStringList messages_;
  QStringList questions_;
};

TEST_F(MainFormTest, StartsUpWithTheLastStepFileOrAnEmptyList) {
  struct Case {
    const char* testFileName;  // nullptr: no entry
    int rows;
    const char* text1;
  };
  for (const Case& c : {Case{nullptr, 2, "0"}, Case{"three.tsf", 5, "3"}}) {
    SCOPED_TRACE(c.rows);
    QFile::remove(QString::fromStdString(IniPath()));
    if (c.testFileName != nullptr) {
      WriteFile(Path(c.testFileName), kThreeSteps);
      ASSERT_TRUE(
          WriteIniValue(IniPath(), kStepFileSection, kTestFileNameKey, Path(c.testFileName)));
    }
    Start();
    EXPECT_EQ(station().Steps().Rows(), c.rows);
    EXPECT_EQ(form_->stepCountBox()->text(), QLatin1String(c.text1));
    EXPECT_EQ(form_->stepEditor()->panel()->functionCombo()->currentText(), "Discharge");
    EXPECT_FALSE(station().IsRunnerTimerActive());
    EXPECT_TRUE(station().ModelText().empty());  // nothing asked at start-up
    form_.reset();
  }
}

TEST_F(MainFormTest, OpeningAMissingFileEmptiesTheListAndRemembersTheName) {
  StartWithThreeSteps();
  ASSERT_EQ(station().Steps().StepCount(), 3);
  const std::string missing = Path("gone.tsf");
  form_->openStepFile(QString::fromStdString(missing));
  EXPECT_EQ(station().Steps().Rows(), 2);
  EXPECT_EQ(form_->stepCountBox()->text(), "0");
  EXPECT_EQ(form_->currentStepFile(), missing);
  EXPECT_EQ(ReadIniValue(IniPath(), kStepFileSection, kTestFileNameKey, ""), missing);
}

TEST_F(MainFormTest, AFullRunHighlightsEachRunningRowAtTheTopAndEndsWhite) {
  StartWithThreeSteps();
  StepListView* list = form_->stepEditor()->listView();
  // Room for two rows: the running row must come to the top, not just into view.
  QTableView* table = list->table();
  table->setFixedHeight(table->horizontalHeader()->height() +
                        table->horizontalScrollBar()->sizeHint().height() +
                        2 * table->rowHeight(0) + 2 * table->frameWidth() + 2);
  struct Seen {
    int row;
    bool yellow;
    bool previousWhite;
    int topRow;  // the list scrolls by whole rows
  };
  std::vector<Seen> seen;
  QObject::connect(&station(), &Station::stepStarted, form_.get(), [&](int row, int previous) {
    seen.push_back({row, list->model()->isRowHighlighted(row),
                    previous == 0 || !list->model()->isRowHighlighted(previous),
                    table->verticalScrollBar()->value() + 1});
  });
  QSignalSpy finished(&station(), &Station::runFinished);
  form_->runTest();
  ASSERT_TRUE(finished.wait(10000));

  ASSERT_EQ(seen.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(seen[i].row, i + 1);
    EXPECT_TRUE(seen[i].yellow);
    EXPECT_TRUE(seen[i].previousWhite);
    EXPECT_EQ(seen[i].topRow, i + 1);
  }
  for (int row = 1; row <= 3; ++row) {
    EXPECT_FALSE(list->model()->isRowHighlighted(row)) << row;
  }
  std::vector<std::string> functions;
  for (std::size_t r = 0; r < station().Log().RowCount(); ++r) {
    functions.emplace_back(station().Log().Cell(r, 8));
  }
  EXPECT_THAT(functions, ElementsAre("Discharge", "Rest", "Discharge"));
  EXPECT_EQ(form_->resultView()->model()->rowCount(), 3);
  EXPECT_THAT(messages_, ElementsAre("Test Finished"));
}

TEST_F(MainFormTest, StopAndAConfirmedCloseTurnTheLoadOff) {
  for (const bool byClose : {false, true}) {
    SCOPED_TRACE(byClose);
    StartWithThreeSteps();
    form_->runTest();
    ASSERT_TRUE(WaitForRows(1));
    ASSERT_TRUE(bench_->SimLoad()->InputOn());
    if (byClose) {
      EXPECT_TRUE(form_->close());
      EXPECT_EQ(questions_.size(), 2);  // the run, then the rows not saved
    } else {
      form_->stopTest();
    }
    EXPECT_FALSE(bench_->SimLoad()->InputOn());
    EXPECT_FALSE(station().IsRunning());
    questions_.clear();
    form_.reset();
  }
}

TEST_F(MainFormTest, SaveLogDuringARunWritesTheRowsSoFarAndTheRunGoesOn) {
  StartWithThreeSteps();
  form_->runTest();
  ASSERT_TRUE(WaitForRows(1));
  const std::size_t rows = station().Log().RowCount();
  form_->saveLog(QString::fromStdString(Path("run.csv")));
  EXPECT_THAT(messages_, ElementsAre("Convert OK"));
  QFile report(QString::fromStdString(Path("RUN_0.CSV")));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly));
  EXPECT_EQ(static_cast<std::size_t>(report.readAll().count("\r\n")), rows + 1);
  EXPECT_TRUE(form_->rowsSaved());
  EXPECT_TRUE(WaitForRows(rows + 1));
  EXPECT_FALSE(form_->rowsSaved());
}

TEST(DesktopMessageSinkTest, ALinkFailureInsideATickShowsOneMessageAfterTheTick) {
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
      sink.ShowMessage("Lost Connect!");
      WaitMilliseconds(20);  // the event loop runs inside the transaction
      sink.ShowMessage("Lost Connect!");
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
  EXPECT_THAT(shown, ElementsAre("Lost Connect!"));
  EXPECT_FALSE(shownInsideATransaction);
}

}  // namespace
}  // namespace kv
