#include "headless/headless_preflight.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "base/file_identity.h"
#include "check/check_report.h"
#include "check/run_plan.h"
#include "check/step_list_check.h"
#include "export/bdf_file.h"
#include "results/csv_export.h"
#include "station/json_lines.h"
#include "stepfile/step_file.h"
#include "text/quoted.h"

namespace kv {

std::optional<std::string> OutputTargetProblem(const std::string& option, const std::string& path) {
  if (path.empty()) {
    return std::nullopt;
  }
  const QFileInfo target(QString::fromStdString(path));
  if (target.isDir()) {
    return option + ": " + Quoted(path) + " is a folder";
  }
  const QFileInfo folder(target.absolutePath());
  if (!folder.isDir()) {
    return option + ": the folder " + Quoted(folder.filePath().toStdString()) + " does not exist";
  }
  // Each of these files is replaced or created beside its target, so the
  // folder must take new files, not only the target itself.
  if (!folder.isWritable()) {
    return option + ": the folder " + Quoted(folder.filePath().toStdString()) +
           " cannot be written";
  }
  return std::nullopt;
}

namespace {

struct NamedFile {
  std::string role;  // "the step file", "--csv" ...
  const std::string* path;
  bool report = false;  // written as chunks named after the path
};

std::string Named(const NamedFile& file) {
  return file.role + " " + Quoted(*file.path);
}

// Where `a` and `b` are one file, what to tell the operator about it.
std::optional<std::string> SameFileProblem(const NamedFile& a, const NamedFile& b) {
  if (a.path->empty() || b.path->empty()) {
    return std::nullopt;
  }
  std::string first = Named(a);
  std::string second = Named(b);
  if (a.report || b.report) {
    const std::string chunk =
        a.report ? CsvChunkWriting(*a.path, *b.path) : CsvChunkWriting(*b.path, *a.path);
    if (chunk.empty()) {
      return std::nullopt;
    }
    (a.report ? first : second) += " (its report file " + Quoted(chunk) + ")";
  } else if (!IsSameFile(IdentifyFile(*a.path), IdentifyFile(*b.path))) {
    return std::nullopt;
  }
  return first + " and " + second +
         " are the same file: one would replace the other; nothing was run. Choose another name "
         "for " +
         b.role;
}

}  // namespace

std::optional<std::string> OutputTargetsProblem(const HeadlessOptions& options,
                                                const std::string& iniPath) {
  for (const auto& [option, path] :
       {std::pair{"--csv", &options.csvPath}, std::pair{"--summary", &options.summaryPath},
        std::pair{"--journal", &options.journalPath}, std::pair{"--junit", &options.junitPath},
        std::pair{"--bdf", &options.bdfPath}, std::pair{"--report", &options.reportPath}}) {
    if (auto problem = OutputTargetProblem(option, *path)) {
      return problem;
    }
  }
  // Inputs first, so that the message asks for another name of an output.
  const std::string noFile;
  const std::string bdfMetadata = options.bdfPath.empty() ? "" : BdfMetadataPath(options.bdfPath);
  const NamedFile files[] = {
      {"the step file", options.stepFile == kStandardInput ? &noFile : &options.stepFile},
      {"--from-journal", &options.fromJournal},
      {"the settings file", &iniPath},
      {"--csv", &options.csvPath, true},
      {"--summary", &options.summaryPath},
      {"--journal", &options.journalPath},
      {"--junit", &options.junitPath},
      {"--bdf", &options.bdfPath},
      {"the metadata of --bdf", &bdfMetadata},
      {"--report", &options.reportPath}};
  for (std::size_t i = 0; i < std::size(files); ++i) {
    for (std::size_t j = i + 1; j < std::size(files); ++j) {
      if (auto problem = SameFileProblem(files[i], files[j])) {
        return problem;
      }
    }
  }
  // A crashed run's rows are worth more than the next run's: never emptied.
  const QFileInfo journal(QString::fromStdString(options.journalPath));
  if (!options.journalPath.empty() && journal.isFile() && journal.size() > 0) {
    return "--journal: " + Quoted(options.journalPath) + " already holds " +
           std::to_string(journal.size()) +
           " bytes, perhaps the rows of an earlier run; a journal never empties a file: choose "
           "another name";
  }
  return std::nullopt;
}

std::optional<std::string> UnusableSettingsProblem(const LinkSettings& settings,
                                                   const std::string& iniPath) {
  const std::vector<std::string> keys = UnusableConnectionKeys(settings);
  if (keys.empty()) {
    return std::nullopt;
  }
  const bool modeUnusable = std::find(settings.unusableKeys.begin(), settings.unusableKeys.end(),
                                      kConnectModeKey) != settings.unusableKeys.end();
  if (keys.front() == kConnectModeKey && !modeUnusable) {
    // A readable ConnectMode (0 when there is no file at all) that names no link.
    return Quoted(iniPath) + " selects no connection (ConnectMode " +
           std::to_string(settings.connectMode) + "); give --lan, --serial, --gpib or --sim";
  }
  std::string names;
  for (const std::string& key : keys) {
    names += (names.empty() ? "" : ", ") + key;
  }
  return Quoted(iniPath) + ": no usable value for " + names +
         "; nothing was connected. Correct the file or give --lan, --serial, --gpib or --sim" +
         " (--baud, --handshake for a serial line)";
}

bool LoadHeadlessStepFile(const std::string& path, StepGrid& grid, HeadlessConsole& console,
                          JsonRunIdentity* identity) {
  std::string bytes;
  const StepFileResult loaded = path == kStandardInput
                                    ? LoadStepStream(grid, stdin, "standard input", &bytes)
                                    : LoadStepFile(grid, path, &bytes);
  if (loaded.missing || !loaded.ok) {
    console.Error(loaded.missing ? "no step file " + Quoted(path)
                                 : "cannot read the step file: " + loaded.error);
    return false;
  }
  if (identity != nullptr) {
    identity->listSha256 =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                 QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    identity->steps = loaded.steps;
  }
  if (loaded.longLines > 0) {
    console.Warn(std::to_string(loaded.longLines) + " line(s) of " + Quoted(path) +
                 " hold more than 26 fields; the fields after the 26th were dropped");
  }
  console.Info(std::to_string(loaded.steps) + " steps from " + Quoted(path));
  return true;
}

void ShowFindings(const std::vector<CheckFinding>& findings, HeadlessConsole& console) {
  for (const CheckFinding& finding : findings) {
    if (finding.severity != Severity::Note) {
      console.Warn(FormatFinding(finding));
    } else {
      console.Info(FormatFinding(finding));
    }
  }
}

int RunHeadlessCheck(const HeadlessOptions& options, HeadlessConsole& console,
                     JsonRunIdentity& identity) {
  StepGrid grid;
  if (!LoadHeadlessStepFile(options.stepFile, grid, console, &identity)) {
    return kExitUsage;
  }
  console.JsonStart(JsonStartLine(identity));
  const std::vector<CheckFinding> findings = CheckStepList(grid, nullptr);
  const RunPlan plan = PlanStepList(grid);
  const int status = HasErrors(findings) ? kExitUsage : kExitPassed;
  if (console.Jsonl()) {
    for (const CheckFinding& finding : findings) {
      console.JsonLine(JsonFindingLine(finding));
    }
    console.JsonEnd(JsonCheckEndLine(identity, status, plan, findings));
  } else {
    console.Print(FormatCheckReport(findings, plan));
  }
  return status;
}

}  // namespace kv
