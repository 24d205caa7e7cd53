#include "headless/headless_reopen.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "export/bdf_metadata.h"
#include "export/reopened_run.h"
#include "headless/headless_preflight.h"
#include "headless/junit_report.h"
#include "results/csv_export.h"
#include "text/quoted.h"

namespace kv {

namespace {

bool HasFail(const RunSummary& summary) {
  return std::any_of(summary.Steps().begin(), summary.Steps().end(),
                     [](const StepEnd& s) { return s.verdict == StepVerdict::Fail; });
}

// The files a live run leaves at its end, from the reopened rows. False when
// one of them could not be written.
bool WriteReopenedFiles(const HeadlessOptions& options, const ReopenedRun& run,
                        HeadlessConsole& console, JsonRunOutcome& outcome) {
  bool ok = true;
  if (!options.csvPath.empty()) {
    const CsvExportResult report = ExportResultLog(run.log, options.csvPath);
    if (!report.ok) {
      console.Error("the report was not written completely: " + report.error);
      ok = false;
    }
    for (const std::string& file : report.files) {
      console.Info("report written to " + file);
    }
    outcome.csvFiles = report.files;
  }
  const std::string suite =
      QFileInfo(QString::fromStdString(options.fromJournal)).fileName().toStdString();
  const std::pair<const std::string*, std::string> texts[] = {
      {&options.summaryPath, options.summaryPath.empty() ? "" : FormatRunSummaryCsv(run.summary)},
      {&options.junitPath, options.junitPath.empty() ? "" : JunitXml(run.summary, suite)}};
  for (const auto& [path, text] : texts) {
    if (path->empty()) {
      continue;
    }
    AtomicWriteError error;
    if (!WriteFileAtomically(*path, text, &error)) {
      console.Error(*path + " was not written: " + ErrnoText(error.errorNumber));
      ok = false;
      continue;
    }
    console.Info("written: " + *path);
    (path == &options.summaryPath ? outcome.summaryFile : outcome.junitFile) = *path;
  }
  return ok;
}

}  // namespace

std::string FromJournalConflict(const HeadlessOptions& o, std::size_t stepFiles) {
  const std::pair<bool, const char*> conflicts[] = {
      {stepFiles > 0, "step file"},
      {o.link != HeadlessLinkKind::FromIni || !o.iniPath.empty() || o.baudRate.has_value() ||
           o.handShake.has_value() || o.connectTimeoutMs.has_value(),
       "connection or settings file"},
      {!o.journalPath.empty(), "--journal"},
      {o.timeoutSeconds.has_value(), "--timeout"},
      {o.checkOnly || o.strict, "--check or --strict"}};
  for (const auto& [given, what] : conflicts) {
    if (given) {
      return std::string("--from-journal reopens a run that has ended: it takes no ") + what;
    }
  }
  return {};
}

int RunFromJournal(const HeadlessOptions& options, HeadlessConsole& console,
                   JsonRunIdentity& identity) {
  if (const auto problem = OutputTargetsProblem(options, "")) {
    console.Error(*problem);
    return kExitUsage;
  }
  const ReopenedRun run = ReopenRun(options.fromJournal);
  if (!run.ok) {
    console.Error("cannot reopen " + run.error);
    return kExitUsage;
  }
  console.Info(
      std::to_string(run.log.RowCount()) + " row(s) read from " + Quoted(run.files.front()) +
      (run.files.size() > 1 ? " and " + std::to_string(run.files.size() - 1) + " chunk(s) after it"
                            : ""));
  for (const std::string& note : run.notes) {
    console.Warn(note);
  }
  if (run.summary.Started()) {
    identity.started = *run.summary.Started();
  }
  console.JsonStart(JsonStartLine(identity));
  JsonRunOutcome outcome;
  int status = HasFail(run.summary) ? kExitFailVerdict : kExitPassed;
  if (!WriteReopenedFiles(options, run, console, outcome)) {
    status = kExitUsage;
  }
  // The run report (--report) is written here, from run.log, run.places and
  // run.summary, like the files above.
  if (!options.bdfPath.empty()) {
    BdfRunFacts facts;
    // The status of the run itself is not in its rows.
    facts.identity = identity;
    const BdfExportResult bdf = ExportBdfRun({run.log, run.places, run.started}, std::move(facts),
                                             run.summary, options.bdfPath);
    if (bdf.counts.unreadable > 0) {
      console.Warn(std::to_string(bdf.counts.unreadable) +
                   " measurement row(s) hold no readable number and were left out of the BDF file");
    }
    if (bdf.ok) {
      console.Info("BDF file written to " + options.bdfPath + ", its metadata to " +
                   BdfMetadataPath(options.bdfPath));
      outcome.bdfFile = options.bdfPath;
    } else {
      console.Error("the BDF file was not written: " + bdf.error);
      status = kExitUsage;
    }
  }
  outcome.exitStatus = status;
  console.JsonEnd(JsonEndLine(identity, outcome, run.summary));
  console.Finish();
  return status;
}

}  // namespace kv
