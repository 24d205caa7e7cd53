#include "ui/step_file_actions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/file_identity.h"
#include "link/ini_file.h"
#include "link/link_settings.h"
#include "results/csv_export.h"
#include "stepfile/step_file.h"
#include "ui/recent_lists.h"

namespace kv {

namespace {

constexpr const char* kTempStepFileName = "TESTTMP.TSF";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString InFolder(const QString& folder, const QString& name) {
  return QDir::toNativeSeparators(QDir(folder).filePath(name));
}

}  // namespace

FileFolders FileFolders::OfThisProgram() {
  FileFolders f;
  f.programFolder = QCoreApplication::applicationDirPath();
  f.programFolderWritable = QFileInfo(f.programFolder).isWritable();
  f.documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return f;
}

QString FileFolders::WritableProgramFolder() const {
  return programFolderWritable || documentsFolder.isEmpty() ? programFolder : documentsFolder;
}

QString FileFolders::JournalFolder(const std::string& defaultPathSetting) const {
  const QFileInfo chosen(Q(defaultPathSetting));
  if (!defaultPathSetting.empty() && chosen.isDir() && chosen.isWritable()) {
    return QDir::toNativeSeparators(chosen.absoluteFilePath());
  }
  return QDir::toNativeSeparators(documentsFolder);
}

bool IsBdfName(const QString& path) {
  return path.endsWith(QLatin1String(".bdf.csv"), Qt::CaseInsensitive);
}

QString BdfName(const QString& path) {
  if (IsBdfName(path)) {
    return path;
  }
  const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
  return (csv ? path.chopped(4) : path) + QStringLiteral(".bdf.csv");
}

QStringList QtNameFilters(const char* filter) {
  // Pairs of caption and pattern; Qt reads the pattern from the caption.
  const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    filters << parts[i];
  }
  return filters;
}

StepFileActions::StepFileActions(StepGrid& grid, StepEditor& editor, std::string iniPath,
                                 FileFolders folders)
    : grid_(grid), editor_(editor), iniPath_(std::move(iniPath)), folders_(std::move(folders)) {}

QString StepFileActions::ProposedOpenName(const std::string& defaultPath) const {
  if (!currentStepFile_.empty()) {
    return Q(currentStepFile_);
  }
  return InFolder(Q(defaultPath), QLatin1String(kTempStepFileName));
}

QString StepFileActions::FolderFor(const std::string& defaultPath) const {
  return defaultPath.empty() ? folders_.WritableProgramFolder() : Q(defaultPath);
}

QString StepFileActions::ProposedSaveName(const std::string& defaultPath) const {
  if (!currentStepFile_.empty()) {
    return Q(currentStepFile_);
  }
  return InFolder(FolderFor(defaultPath), QLatin1String(kTempStepFileName));
}

QString StepFileActions::ProposedLogName(QDate today, const std::string& defaultPath) const {
  return InFolder(FolderFor(defaultPath),
                  today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".CSV"));
}

void StepFileActions::InitGrids() {
  grid_.Reset();
  editor_.ResetSubTableLayouts();
}

FileActionOutcome StepFileActions::LoadStartupFile() {
  return Load(currentStepFile_);
}

std::vector<std::string> StepFileActions::RecentLists() const {
  return ReadRecentLists(iniPath_);
}

FileActionOutcome StepFileActions::Open(const std::string& path) {
  currentStepFile_ = path;
  FileActionOutcome iniFailure;
  if (!WriteIniValue(iniPath_, kStepFileSection, kTestFileNameKey, path) ||
      !RecordRecentList(iniPath_, path)) {
    iniFailure.ok = false;
    iniFailure.message = QStringLiteral(
                             "Cannot write \"%1\": the file opened now is not "
                             "remembered for the next start.")
                             .arg(Q(iniPath_));
  }
  InitGrids();
  FileActionOutcome outcome = Load(path);
  if (!iniFailure.ok) {
    outcome.ok = false;
    outcome.message = outcome.message.isEmpty() ? iniFailure.message
                                                : outcome.message + "\n" + iniFailure.message;
  }
  return outcome;
}

FileActionOutcome StepFileActions::Load(const std::string& path) {
  FileActionOutcome outcome;
  const StepFileResult loaded = LoadStepFile(grid_, path);
  if (!loaded.ok) {
    outcome.ok = false;
    outcome.message = Q(loaded.error);
    outcome.status = QStringLiteral("Step file not read completely: %1 steps").arg(loaded.steps);
    return outcome;
  }
  if (path.empty()) {
    outcome.status = QStringLiteral("No step file");
  } else if (loaded.missing) {
    outcome.status = QStringLiteral("No file \"%1\": the step list is empty").arg(Q(path));
  } else {
    outcome.status = QStringLiteral("%1 steps from \"%2\"").arg(loaded.steps).arg(Q(path));
  }
  if (loaded.longLines > 0) {
    outcome.message = QStringLiteral(
                          "%1 line(s) of \"%2\" hold more than 26 fields; "
                          "the fields after the 26th were dropped.")
                          .arg(loaded.longLines)
                          .arg(Q(path));
  }
  return outcome;
}

FileActionOutcome StepFileActions::Save(const std::string& path) {
  currentStepFile_ = path;
  FileActionOutcome outcome;
  const StepFileResult saved = SaveStepFile(grid_, path);
  if (!saved.ok) {
    outcome.ok = false;
    outcome.message = Q(saved.error);
    outcome.status = QStringLiteral("Step list not saved");
    return outcome;
  }
  outcome.status = QStringLiteral("%1 steps saved to \"%2\"").arg(saved.steps).arg(Q(path));
  outcome.files << QDir::toNativeSeparators(Q(path));
  // Start-up reads TestFileName only: LastTestStepFile of an older
  // installation may be older than the list it last opened.
  if (!WriteIniValue(iniPath_, kStepFileSection, kTestFileNameKey, path) ||
      !WriteIniValue(iniPath_, kSystemSection, kLastTestStepFileKey, path) ||
      !RecordRecentList(iniPath_, path)) {
    outcome.ok = false;
    outcome.message =
        QStringLiteral(
            "The step list was saved, but \"%1\" could not be written: the next start may not "
            "open it.")
            .arg(Q(iniPath_));
  }
  return outcome;
}

FileActionOutcome StepFileActions::ExportLog(const ResultLog& log, const std::string& path,
                                             const std::string& journalPath) const {
  FileActionOutcome outcome;
  for (const auto& [what, file] : {std::pair{"the open step list", &currentStepFile_},
                                   std::pair{"the run's journal", &journalPath}}) {
    const std::string chunk = file->empty() ? std::string() : CsvChunkWriting(path, *file);
    if (!chunk.empty()) {
      outcome.ok = false;
      outcome.message = QStringLiteral(
                            "The log was not saved: %1 would replace %2 %3. Choose "
                            "another name.")
                            .arg(Q(chunk), Q(what), Q(*file));
      outcome.status = QStringLiteral("Log not saved");
      return outcome;
    }
  }
  const CsvExportResult report = ExportResultLog(log, path);
  if (!report.ok) {
    outcome.ok = false;
    outcome.message = Q(report.error);
    outcome.status = QStringLiteral("Report not written completely");
    return outcome;
  }
  for (const std::string& file : report.files) {
    outcome.files << QDir::toNativeSeparators(Q(file));
  }
  outcome.status = report.files.empty()
                       ? QStringLiteral("No rows: no report file written")
                       : QStringLiteral("Report written: %1").arg(outcome.files.join(", "));
  return outcome;
}

FileActionOutcome StepFileActions::ExportBdf(const BdfSource& source, const BdfRunFacts& facts,
                                             const RunSummary& summary, const std::string& path,
                                             const std::string& journalPath) const {
  FileActionOutcome outcome;
  const std::string metadata = BdfMetadataPath(path);
  for (const auto& [what, file] : {std::pair{"the open step list", &currentStepFile_},
                                   std::pair{"the run's journal", &journalPath}}) {
    for (const std::string* target : {&path, &metadata}) {
      if (!file->empty() && IsSameFile(IdentifyFile(*target), IdentifyFile(*file))) {
        outcome.ok = false;
        outcome.message =
            QStringLiteral("The log was not saved: %1 would replace %2 %3. Choose another name.")
                .arg(Q(*target), Q(what), Q(*file));
        outcome.status = QStringLiteral("Log not saved");
        return outcome;
      }
    }
  }
  const BdfExportResult result = ExportBdfRun(source, facts, summary, path);
  if (!result.ok) {
    outcome.ok = false;
    outcome.message = Q(result.error);
    outcome.status = QStringLiteral("Battery Data Format file not written");
    return outcome;
  }
  outcome.files << QDir::toNativeSeparators(Q(path)) << QDir::toNativeSeparators(Q(metadata));
  outcome.status = QStringLiteral("Battery Data Format written: %1").arg(outcome.files.join(", "));
  if (result.counts.unreadable > 0) {
    outcome.message = QStringLiteral(
                          "%1 measurement row(s) hold no readable number; they stay in the log "
                          "and were left out of the Battery Data Format file.")
                          .arg(result.counts.unreadable);
  }
  return outcome;
}

}  // namespace kv
