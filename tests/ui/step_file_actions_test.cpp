// What Open, Save and Save Log decide, without a window.
#include "ui/step_file_actions.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <tuple>

#include "link/ini_file.h"
#include "link/link_settings.h"
#include "results/result_log.h"
#include "steps/step_columns.h"
#include "support/temp_folder.h"
#include "ui/results_origin.h"
#include "ui/unsaved_list.h"

namespace kv {
namespace {

using ::testing::ElementsAre;
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
  EXPECT_EQ(actions.ProposedSaveName("").toStdString(), Path("program/TESTTMP.TSF"));
  EXPECT_EQ(actions.ProposedLogName(QDate(2026, 12, 5), "").toStdString(),
            Path("program/20261205.CSV"));
  EXPECT_EQ(Actions(false).ProposedSaveName("").toStdString(), Path("documents/TESTTMP.TSF"));
  EXPECT_EQ(Actions(false).ProposedLogName(QDate(2026, 1, 2), "").toStdString(),
            Path("documents/20260102.CSV"));
  // The Default Path, where set, is where the operator keeps lists and reports.
  EXPECT_EQ(actions.ProposedSaveName(Path("reports")).toStdString(), Path("reports/TESTTMP.TSF"));
  EXPECT_EQ(actions.ProposedLogName(QDate(2026, 1, 2), Path("reports")).toStdString(),
            Path("reports/20260102.CSV"));
  actions.SetCurrentStepFile(Path("list.tsf"));
  EXPECT_EQ(actions.ProposedOpenName(Path("reports")).toStdString(), Path("list.tsf"));
  EXPECT_EQ(actions.ProposedSaveName(Path("reports")).toStdString(), Path("list.tsf"));
  // Journals: the Default Path while it is a folder that can be written.
  ASSERT_TRUE(QDir(dir_.path()).mkpath("locked"));
  QFile::setPermissions(dir_.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
  const bool lockedWritable = QFileInfo(dir_.filePath("locked")).isWritable();  // root
  for (const auto& [setting, folder] :
       {std::pair{"", "documents"}, std::pair{"reports", "documents"},
        std::pair{"locked", lockedWritable ? "locked" : "documents"}, std::pair{".", "."}}) {
    EXPECT_EQ(
        actions.Folders().JournalFolder(*setting ? Path(setting) : "").toStdString(),
        QDir::toNativeSeparators(QFileInfo(dir_.filePath(folder)).absoluteFilePath()).toStdString())
        << setting;
  }
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
  // The saved list is the one the next start opens.
  EXPECT_EQ(ReadIniValue(Path("KV26.INI"), kStepFileSection, kTestFileNameKey, "-"),
            Path("list.tsf"));
  // Opened and saved lists, newest first, each once, the newest eight.
  for (const char* name : {"1", "2", "3", "4", "5", "6", "7", "8", "2"}) {
    actions.Open(Path(name));
  }
  EXPECT_THAT(actions.RecentLists(), ElementsAre(Path("2"), Path("8"), Path("7"), Path("6"),
                                                 Path("5"), Path("4"), Path("3"), Path("1")));
}

TEST(UnsavedListTest, TheTitleNamesTheListAndAQuestionComesOnlyBeforeChangesAreLost) {
  for (const auto& [file, modified, title] :
       {std::tuple{"", false, "Caption"}, std::tuple{"/l/a.tsf", false, "a.tsf – Caption"},
        std::tuple{"/l/a.tsf", true, "a.tsf* – Caption"},
        std::tuple{"", true, "New list* – Caption"}}) {
    EXPECT_EQ(ListWindowTitle(file, modified, "Caption").toStdString(), title);
  }
  struct Case {
    bool modified;
    UnsavedChoice choice;
    bool saves;  // what saving gives
    int asked;
    int saved;
    bool mayDrop;
  };
  for (const Case& c : {Case{false, UnsavedChoice::Cancel, false, 0, 0, true},
                        Case{true, UnsavedChoice::Cancel, true, 1, 0, false},
                        Case{true, UnsavedChoice::Discard, false, 1, 0, true},
                        Case{true, UnsavedChoice::Save, true, 1, 1, true},
                        Case{true, UnsavedChoice::Save, false, 1, 1, false}}) {
    int asked = 0;
    int saved = 0;
    QString question;
    const UnsavedListGuard guard(
        [&](const QString& q) {
          ++asked;
          question = q;
          return c.choice;
        },
        [&] {
          ++saved;
          return c.saves;
        });
    EXPECT_EQ(guard.MayDrop("/l/a.tsf", c.modified, "closing"), c.mayDrop);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(saved, c.saved);
    EXPECT_EQ(question.isEmpty(), !c.modified);
    EXPECT_TRUE(question.isEmpty() ||
                (question.contains("/l/a.tsf") && question.contains("closing")));
  }
}

TEST(ResultsOriginTest, TheBannerNamesTheListThatRanOnceAnotherIsOpenedUntilTheNextRun) {
  ResultsOrigin origin;
  origin.ListOpened();
  EXPECT_EQ(origin.BannerText(), "");  // no results yet
  origin.RunStarted("/l/first.tsf", QTime(9, 5, 7));
  EXPECT_EQ(origin.BannerText(), "");
  origin.ListOpened();
  EXPECT_EQ(origin.BannerText(), "Results of first.tsf, run at 09:05:07");
  origin.RunStarted("", QTime(10, 0, 0));
  EXPECT_EQ(origin.BannerText(), "");
  origin.ListOpened();
  EXPECT_EQ(origin.BannerText(), "Results of a list that was not saved, run at 10:00:00");
}

TEST_F(StepFileActionsTest, OpenWarnsAboutLinesOfMoreThan26Fields) {
  test::WriteBytes(Path("long.tsf"),
                   "header\r\n1,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,,extra\r\n2,Rest,,,0,1\r\n");
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
    test::WriteBytes(Path(name), "kept\r\n");
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
    EXPECT_EQ(test::ReadBytes(Path(name)), "kept\r\n") << name;
  }
  EXPECT_TRUE(QFile::exists(QString::fromStdString(Path("REPORT_0.CSV"))));
}

}  // namespace
}  // namespace kv
