#pragma once
// The check and the plan as text, the same for kvload-run --check and the
// desktop program.

#include <cstdint>
#include <string>
#include <vector>

#include "check/check_finding.h"
#include "check/run_plan.h"

namespace kv {

/// "step 3: error: ..." ("list: ..." for a finding about the whole list).
std::string FormatFinding(const CheckFinding& finding);

/// One line per finding, each ended by "\n".
std::string FormatFindings(const std::vector<CheckFinding>& findings);

/// "h:mm:ss", hours not wrapped at a day.
std::string FormatDuration(std::int64_t seconds);

/// The run time in short, for a status line: "1:00:05", "up to 1:00:05" when
/// stops may end steps sooner, with " + open-ended" when the load ends some.
std::string FormatPlanTime(const RunPlan& plan);

/// Two lines, each ended by "\n": the run time and the result rows, saying
/// which steps make them estimates.
std::string FormatPlan(const RunPlan& plan);

/// "2 errors, 1 warning, 0 notes".
std::string FormatFindingCounts(const std::vector<CheckFinding>& findings);

/// What kvload-run --check prints: the findings, the plan and the counts.
std::string FormatCheckReport(const std::vector<CheckFinding>& findings, const RunPlan& plan);

}  // namespace kv
