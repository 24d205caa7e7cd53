#pragma once
// What "Open File", "Save File" and "Save Log" decide, apart from the file
// dialog: the proposed names, the settings-file entries and what the operator
// is told. The main window shows the dialog and passes the chosen name here,
// so every decision runs without a window.

#include <QDate>
#include <QString>
#include <string>

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
};

/// What a file action ends with.
struct FileActionOutcome {
  bool ok = true;
  /// For a box: a failure, or a warning the operator must see.
  QString message;
  /// For the status line.
  QString status;
};

inline constexpr const char* kStepFileFilter = "TSF檔(*.tsf)|*.tsf|所有檔案(*.*)|*.*";
inline constexpr const char* kLogFileFilter = "CSV檔(*.CSV)|*.CSV|所有檔案(*.*)|*.*";
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
  /// CurrentStepFile, else TESTTMP.TSF in the program folder.
  QString ProposedSaveName() const;
  /// <program folder>/<YYYYMMDD>.CSV.
  QString ProposedLogName(QDate today) const;

  /// Start-up: loads CurrentStepFile into the grid as it stands.
  FileActionOutcome LoadStartupFile();
  /// A confirmed Open of `path`: remembered in [KV26] TestFileName, the grids
  /// back to their start-up layout, then loaded (a missing file leaves an
  /// empty list).
  FileActionOutcome Open(const std::string& path);
  /// A confirmed Save to `path`; [System] LastTestStepFile is written only
  /// once the file is.
  FileActionOutcome Save(const std::string& path);
  /// The CSV report of `log` under `path` (chunks of 32000 rows); refused
  /// when a chunk would replace the open step list or `journalPath`, the
  /// file the run's rows are journaled to.
  FileActionOutcome ExportLog(const ResultLog& log, const std::string& path,
                              const std::string& journalPath) const;

  /// The main window's grid set-up: the step list and the three sub-tables at
  /// their start-up layout.
  void InitGrids();

 private:
  FileActionOutcome Load(const std::string& path);

  StepGrid& grid_;
  StepEditor& editor_;
  std::string iniPath_;
  FileFolders folders_;
  std::string currentStepFile_;
};

}  // namespace kv
