#include "headless/run_files.h"

#include <utility>
#include <vector>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "check/step_list_check.h"
#include "export/bdf_metadata.h"
#include "export/run_report_layout.h"
#include "headless/junit_report.h"
#include "report/run_report_pdf.h"
#include "results/csv_export.h"

namespace kv {

namespace {

bool WriteBdf(const std::string& path, const RunFilesSource& source, BdfRunFacts facts,
              HeadlessConsole& console, JsonRunOutcome& outcome) {
  const BdfExportResult bdf = ExportBdfRun({source.log, source.places, source.started},
                                           std::move(facts), source.summary, path);
  if (bdf.counts.unreadable > 0) {
    console.Warn(std::to_string(bdf.counts.unreadable) +
                 " measurement row(s) hold no readable number and were left out of the BDF file");
  }
  if (!bdf.ok) {
    console.Error("the BDF file was not written: " + bdf.error);
    return false;
  }
  console.Info("BDF file written to " + path + ", its metadata to " + BdfMetadataPath(path));
  outcome.bdfFile = path;
  return true;
}

bool WriteReport(const std::string& path, const RunFilesSource& source, RunReportFacts facts,
                 HeadlessConsole& console, JsonRunOutcome& outcome) {
  // What the operator was warned of before the run, for the model that ran it.
  const StepGrid noList;
  std::vector<CheckFinding> findings;
  if (source.steps != nullptr) {
    findings = CheckStepListForModel(*source.steps, facts.model);
  }
  facts.listKnown = source.steps != nullptr;
  const RunReportResult report =
      WriteRunReport({source.log, source.places, source.summary,
                      source.steps != nullptr ? *source.steps : noList, findings, std::move(facts)},
                     path);
  if (!report.ok) {
    console.Error("the run report was not written: " + report.error);
    return false;
  }
  console.Info("run report written to " + path + " (" + std::to_string(report.pages) +
               (report.pages == 1 ? " page)" : " pages)"));
  outcome.reportFile = path;
  return true;
}

}  // namespace

bool WriteRunFiles(const HeadlessOptions& options, const RunFilesSource& source,
                   HeadlessConsole& console, JsonRunOutcome& outcome) {
  bool ok = true;
  if (!options.csvPath.empty()) {
    const CsvExportResult report = ExportResultLog(source.log, options.csvPath);
    if (!report.ok) {
      console.Error("the report was not written completely: " + report.error);
      ok = false;
    } else if (report.files.empty()) {
      console.Info("no rows, so no report file was written");
    }
    for (const std::string& file : report.files) {
      console.Info("report written to " + file);
    }
    outcome.csvFiles = report.files;
  }
  if (!options.summaryPath.empty()) {
    AtomicWriteError error;
    if (WriteRunSummaryCsv(options.summaryPath, source.summary, &error)) {
      console.Info("summary written to " + options.summaryPath);
      outcome.summaryFile = options.summaryPath;
    } else {
      console.Error("the summary was not written: " + ErrnoText(error.errorNumber));
      ok = false;
    }
  }
  if (!options.junitPath.empty()) {
    AtomicWriteError error;
    if (WriteFileAtomically(options.junitPath, JunitXml(source.summary, source.suite), &error)) {
      console.Info("JUnit report written to " + options.junitPath);
      outcome.junitFile = options.junitPath;
    } else {
      console.Error("the JUnit report was not written: " + ErrnoText(error.errorNumber));
      ok = false;
    }
  }
  return ok;
}

bool WriteClosingFiles(const HeadlessOptions& options, const RunFilesSource& source,
                       const JsonRunIdentity& identity, std::optional<int> status,
                       HeadlessConsole& console, JsonRunOutcome& outcome) {
  bool ok = true;
  if (!options.bdfPath.empty()) {
    BdfRunFacts facts;
    facts.identity = identity;
    facts.model = source.model;
    facts.bench = source.bench;
    facts.exitStatus = status;
    facts.reason = outcome.reason;
    ok = WriteBdf(options.bdfPath, source, std::move(facts), console, outcome) && ok;
  }
  if (!options.reportPath.empty()) {
    RunReportFacts facts{identity, source.model, source.bench, status, outcome.reason};
    ok = WriteReport(options.reportPath, source, std::move(facts), console, outcome) && ok;
  }
  return ok;
}

}  // namespace kv
