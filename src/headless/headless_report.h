#pragma once
// kvload-run --report: the run report written when the run ends, however it
// ended, with the exit status the other files left.

#include <string>

#include "export/run_report_layout.h"
#include "headless/headless_console.h"

namespace kv {

/// The report of the run `source` holds to `path`; says where it went or why
/// not. The findings are the check's of the list for the model that answered
/// (`source.facts.model`). False when the file was not written.
bool WriteHeadlessReport(const std::string& path, const ResultLog& log, const RowPlaces& places,
                         const RunSummary& summary, const StepGrid& steps, RunReportFacts facts,
                         HeadlessConsole& console);

}  // namespace kv
