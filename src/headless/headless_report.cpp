#include "headless/headless_report.h"

#include <utility>

#include "check/step_list_check.h"
#include "report/run_report_pdf.h"

namespace kv {

bool WriteHeadlessReport(const std::string& path, const ResultLog& log, const RowPlaces& places,
                         const RunSummary& summary, const StepGrid& steps, RunReportFacts facts,
                         HeadlessConsole& console) {
  // What the operator was warned of before the run, for the model that ran it.
  const std::vector<CheckFinding> findings = facts.model.empty()
                                                 ? CheckStepList(steps, nullptr)
                                                 : CheckStepListForModel(steps, facts.model);
  const RunReportResult report =
      WriteRunReport({log, places, summary, steps, findings, std::move(facts)}, path);
  if (!report.ok) {
    console.Error("the run report was not written: " + report.error);
    return false;
  }
  console.Info("run report written to " + path + " (" + std::to_string(report.pages) +
               (report.pages == 1 ? " page)" : " pages)"));
  return true;
}

}  // namespace kv
