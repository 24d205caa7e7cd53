#pragma once
// kvload-run's --format jsonl: one compact JSON object per line, so that a
// script reads a run with any JSON parser instead of splitting CSV by hand.
// Cells keep the exact text of the report (a reply may not be a number).

#include <string>
#include <string_view>

#include <vector>

#include "check/check_finding.h"
#include "check/run_plan.h"
#include "results/result_log.h"
#include "runner/run_summary.h"

namespace kv {

/// {"type":"row","no":..,"time":..,"v":..,"i":..,"w":..,"ah":..,"wh":..,
/// "stamp":..,"function":..,"result":..}, every cell a string.
std::string JsonRowLine(const ResultRowView& row);
/// {"type":"step", then the step's summary fields by key}.
std::string JsonStepLine(const StepEnd& end);
/// {"type":"message","level":..,"text":..}; level is "message" (what the
/// desktop program shows in a box), "warning" or "info".
std::string JsonMessageLine(std::string_view level, std::string_view text);
/// {"type":"finding","step":n,"severity":..,"message":..} (--check).
std::string JsonFindingLine(const CheckFinding& finding);
/// {"type":"end","exit":n, then the run's summary fields by key}.
std::string JsonEndLine(int exitStatus, const RunSummary& summary);
/// The end of a run refused before anything was connected: the run's keys,
/// with reason "refused" and null where nothing ran.
std::string JsonRefusedEndLine(int exitStatus);
/// The end of --check: {"type":"end","exit":n,"seconds":estimated run time,
/// "rows":estimated result rows,"exact":whether both are exact,
/// "errors":n,"warnings":n,"notes":n}.
std::string JsonCheckEndLine(int exitStatus, const RunPlan& plan,
                             const std::vector<CheckFinding>& findings);

}  // namespace kv
