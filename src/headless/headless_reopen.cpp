#include "headless/headless_reopen.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "export/reopened_run.h"
#include "headless/headless_preflight.h"
#include "headless/run_files.h"
#include "text/quoted.h"

namespace kv {

namespace {

bool HasFail(const RunSummary& summary) {
  return std::any_of(summary.Steps().begin(), summary.Steps().end(),
                     [](const StepEnd& s) { return s.verdict == StepVerdict::Fail; });
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
  // Which load and bench made the rows, they do not say.
  const RunFilesSource files{
      run.log,     run.places,
      run.summary, run.started,
      nullptr,     QFileInfo(QString::fromStdString(options.fromJournal)).fileName().toStdString(),
      "",          ""};
  if (!WriteRunFiles(options, files, console, outcome)) {
    status = kExitUsage;
  }
  // The status of the run itself is not in its rows.
  if (!WriteClosingFiles(options, files, identity, std::nullopt, console, outcome)) {
    status = kExitUsage;
  }
  outcome.exitStatus = status;
  console.JsonEnd(JsonEndLine(identity, outcome, run.summary));
  console.Finish();
  return status;
}

}  // namespace kv
