// What Open, Save and Save Log decide, without a window.
#include "ui/step_file_actions.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/ini_file.h"
#include "link/link_settings.h"
#include "results/result_log.h"
#include "steps/step_columns.h"

namespace kv {
namespace {

using ::testing::HasSubstr;

class StepFileActionsTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const {
    return QDir::toNativeSeparators(dir_.filePath(name)).toStdString();
  }
  StepFileActions Actions(bool programFolderWritable = true) {
    FileFolders folders;
    folders.programFolder = dir_.filePath("program");
    folders.programFolderWritable = programFolderWritable;
    folders.documentsFolder = dir_.filePath("documents");
    return StepFileActions(grid_, editor_, Path("KV26.INI"), folders);
  }

  QTemporaryDir dir_;
  StepGrid grid_;
  StepEditor editor_;
};

TEST_F(StepFileActionsTest, ProposesTheCurrentFileElseTheFolderOfEachAction) {
  StepFileActions actions = Actions();
  EXPECT_EQ(actions.ProposedOpenName(Path("reports")).toStdString(), Path("reports/TESTTMP.TSF"));
  EXPECT_EQ(actions.ProposedSaveName().toStdString(), Path("program/TESTTMP.TSF"));
  EXPECT_EQ(actions.ProposedLogName(QDate(2026, 12, 5)).toStdString(),
            Path("program/20261205.CSV"));
  EXPECT_EQ(Actions(false).ProposedSaveName().toStdString(), Path("documents/TESTTMP.TSF"));
  EXPECT_EQ(Actions(false).ProposedLogName(QDate(2026, 1, 2)).toStdString(),
            Path("documents/20260102.CSV"));
  actions.SetCurrentStepFile(Path("list.tsf"));
  EXPECT_EQ(actions.ProposedOpenName(Path("reports")).toStdString(), Path("list.tsf"));
  EXPECT_EQ(actions.ProposedSaveName().toStdString(), Path("list.tsf"));
}

TEST_F(StepFileActionsTest, SaveRecordsTheFileOnlyOnceItIsWritten) {
  StepFileActions actions = Actions();
  grid_.SetRows(3);
  grid_.SetCell(1, kColFunction, "Rest");
  grid_.SetCell(1, kColTStop, "1,5");
  FileActionOutcome refused = actions.Save(Path("list.tsf"));
  EXPECT_FALSE(refused.ok);
  EXPECT_THAT(refused.message.toStdString(), HasSubstr("row 1, column"));
  EXPECT_THAT(refused.message.toStdString(), HasSubstr("list.tsf"));
  EXPECT_EQ(actions.CurrentStepFile(), Path("list.tsf"));
  EXPECT_EQ(ReadIniValue(Path("KV26.INI"), kSystemSection, kLastTestStepFileKey, "-"), "-");

  grid_.SetCell(1, kColTStop, "1.5");
  EXPECT_TRUE(actions.Save(Path("list.tsf")).ok);
  EXPECT_EQ(ReadIniValue(Path("KV26.INI"), kSystemSection, kLastTestStepFileKey, "-"),
            Path("list.tsf"));
}

TEST_F(StepFileActionsTest, OpenWarnsAboutLinesOfMoreThan26Fields) {
  QFile file(QString::fromStdString(Path("long.tsf")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("header\r\n1,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,,extra\r\n2,Rest,,,0,1\r\n");
  file.close();
  FileActionOutcome opened = Actions().Open(Path("long.tsf"));
  EXPECT_THAT(opened.message.toStdString(), HasSubstr("more than 26 fields"));
  EXPECT_EQ(grid_.StepCount(), 2);
}

// Save Log never replaces the open step list or the run's journal, also not
// through the upper-cased name or a chunk name that is a link.
TEST_F(StepFileActionsTest, SaveLogRefusesTheOpenStepListAndTheJournal) {
  StepFileActions actions = Actions();
  actions.SetCurrentStepFile(Path("TESTTMP.TSF"));
  QFile::link(QString::fromStdString(Path("kvload-1.csv")),
              QString::fromStdString(Path("L_0.CSV")));
  for (const char* name : {"TESTTMP.TSF", "kvload-1.csv"}) {
    QFile file(QString::fromStdString(Path(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kept\r\n");
  }
  ResultLog log;
  log.AddRow({"1", "", "", "", "", "", "", "", "Rest", ""});
  for (const auto& [name, refusedFor] :
       {std::pair{"testtmp.tsf", "the open step list"}, std::pair{"l.csv", "the run's journal"},
        std::pair{"report.csv", ""}}) {
    const FileActionOutcome outcome = actions.ExportLog(log, Path(name), Path("kvload-1.csv"));
    EXPECT_EQ(outcome.ok, *refusedFor == '\0') << name;
    EXPECT_THAT(outcome.message.toStdString(), HasSubstr(refusedFor));
  }
  for (const char* name : {"TESTTMP.TSF", "kvload-1.csv"}) {
    QFile file(QString::fromStdString(Path(name)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "kept\r\n") << name;
  }
  EXPECT_TRUE(QFile::exists(QString::fromStdString(Path("REPORT_0.CSV"))));
}

}  // namespace
}  // namespace kv
