#pragma once
// What "Open File", "Save File" and "Save Log" decide, apart from the file
// dialog: the proposed names, the settings-file entries and what the operator
// is told. The main window shows the dialog and passes the chosen name here,
// so every decision runs without a window.

#include <QDate>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "export/bdf_metadata.h"
#include "steps/step_editor.h"
#include "steps/step_grid.h"

namespace kv {

class ResultLog;

/// Where files are proposed.
struct FileFolders {
  QString programFolder;
  bool programFolderWritable = true;
  QString documentsFolder;
  /// The folder of the running program, writable or not, and the documents
  /// folder of this user.
  static FileFolders OfThisProgram();
  /// The program folder, or the documents folder when it cannot be written.
  QString WritableProgramFolder() const;
  /// Where run journals go: the Default Path the settings file names (""
  /// when it names none) while it is a folder that can be written, else the
  /// documents folder, where people look for their files.
  QString JournalFolder(const std::string& defaultPathSetting) const;
};

/// What a file action ends with.
struct FileActionOutcome {
  bool ok = true;
  /// For a box: a failure, or a warning the operator must see.
  QString message;
  /// For the status line.
  QString status;
  /// The files written (the report's chunk names differ from the name typed).
  QStringList files;
};

inline constexpr const char* kStepFileFilter = "TSF檔(*.tsf)|*.tsf|所有檔案(*.*)|*.*";
inline constexpr const char* kLogFileFilter =
    "CSV檔(*.CSV)|*.CSV|Battery Data Format (*.bdf.csv)|*.bdf.csv|所有檔案(*.*)|*.*";
/// The filter under which Save Log writes a Battery Data Format table.
inline constexpr const char* kBdfFilterCaption = "Battery Data Format (*.bdf.csv)";
/// Whether `path` names a Battery Data Format table ("x.bdf.csv", any case).
bool IsBdfName(const QString& path);
/// The name Save Log writes under the BDF filter: "20261207.CSV" becomes
/// "20261207.bdf.csv", a name without ".csv" gets ".bdf.csv".
QString BdfName(const QString& path);
/// The dialog filter "A(*.a)|*.a|B(*.*)|*.*" as Qt name filters: "A(*.a)", "B(*.*)".
QStringList QtNameFilters(const char* filter);

class StepFileActions {
 public:
  StepFileActions(StepGrid& grid, StepEditor& editor, std::string iniPath, FileFolders folders);

  const std::string& CurrentStepFile() const { return currentStepFile_; }
  const FileFolders& Folders() const { return folders_; }
  /// Start-up: the file the settings (or the command line) name.
  void SetCurrentStepFile(std::string path) { currentStepFile_ = std::move(path); }

  /// CurrentStepFile, else TESTTMP.TSF in `defaultPath`.
  QString ProposedOpenName(const std::string& defaultPath) const;
  /// CurrentStepFile, else TESTTMP.TSF in `defaultPath` when it is set,
  /// else in the program folder.
  QString ProposedSaveName(const std::string& defaultPath) const;
  /// <YYYYMMDD>.CSV in `defaultPath` when it is set, else in the program
  /// folder: the operator chose that folder for reports.
  QString ProposedLogName(QDate today, const std::string& defaultPath) const;

  /// Start-up: loads CurrentStepFile into the grid as it stands.
  FileActionOutcome LoadStartupFile();
  /// A confirmed Open of `path`: remembered in [KV26] TestFileName and the
  /// recent lists, the grids back to their start-up layout, then loaded (a
  /// missing file leaves an empty list).
  FileActionOutcome Open(const std::string& path);
  /// A confirmed Save to `path`. Once the file is written it is the list
  /// the next start opens ([KV26] TestFileName, which start-up has always
  /// read), [System] LastTestStepFile as before, and the newest recent list.
  FileActionOutcome Save(const std::string& path);
  /// The recent lists, newest first.
  std::vector<std::string> RecentLists() const;
  /// The CSV report of `log` under `path` (chunks of 32000 rows); refused
  /// when a chunk would replace the open step list or `journalPath`, the
  /// file the run's rows are journaled to.
  FileActionOutcome ExportLog(const ResultLog& log, const std::string& path,
                              const std::string& journalPath) const;
  /// The Battery Data Format table under `path` and its metadata beside it;
  /// refused as ExportLog is when either file is the list or the journal.
  FileActionOutcome ExportBdf(const BdfSource& source, const BdfRunFacts& facts,
                              const RunSummary& summary, const std::string& path,
                              const std::string& journalPath) const;

  /// The main window's grid set-up: the step list and the three sub-tables at
  /// their start-up layout.
  void InitGrids();

 private:
  FileActionOutcome Load(const std::string& path);
  QString FolderFor(const std::string& defaultPath) const;

  StepGrid& grid_;
  StepEditor& editor_;
  std::string iniPath_;
  FileFolders folders_;
  std::string currentStepFile_;
};

}  // namespace kv
