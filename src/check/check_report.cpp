#include "check/check_report.h"

#include <algorithm>
#include <functional>

namespace kv {

namespace {

std::string Counted(int n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// A long list of step numbers helps nobody: the first few and a count.
constexpr std::size_t kStepsNamed = 6;

/// "step 7 runs", "steps 1, 3 run": the steps `pick` chooses and the verb.
std::string StepsWhere(const RunPlan& plan, const std::function<bool(const StepPlan&)>& pick,
                       const std::string& one, const std::string& many) {
  std::vector<int> steps;
  for (const StepPlan& s : plan.steps) {
    if (pick(s)) {
      steps.push_back(s.step);
    }
  }
  std::string text = steps.size() == 1 ? "step " : "steps ";
  for (std::size_t i = 0; i < std::min(steps.size(), kStepsNamed); ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(steps[i]);
  }
  if (steps.size() > kStepsNamed) {
    text += " and " + std::to_string(steps.size() - kStepsNamed) + " more";
  }
  return text + " " + (steps.size() == 1 ? one : many);
}

}  // namespace

std::string FormatFinding(const CheckFinding& finding) {
  const std::string where = finding.step == 0 ? "list" : "step " + std::to_string(finding.step);
  return where + ": " + std::string(SeverityName(finding.severity)) + ": " + finding.message;
}

std::string FormatFindings(const std::vector<CheckFinding>& findings) {
  std::string text;
  for (const CheckFinding& f : findings) {
    text += FormatFinding(f) + "\n";
  }
  return text;
}

std::string FormatDuration(std::int64_t seconds) {
  const std::int64_t s = std::max<std::int64_t>(seconds, 0);
  auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return std::to_string(s / 3600) + ":" + two(s / 60 % 60) + ":" + two(s % 60);
}

std::string FormatPlanTime(const RunPlan& plan) {
  std::string text = (plan.mayEndEarly ? "up to " : "") + FormatDuration(plan.seconds);
  if (plan.openEnded) {
    text += " + open-ended";
  }
  return text;
}

std::string FormatPlan(const RunPlan& plan) {
  std::string time = "Estimated run time: " + FormatPlanTime(plan);
  std::vector<std::string> why;
  if (plan.openEnded) {
    why.push_back(StepsWhere(
                      plan, [](const StepPlan& s) { return s.openEnded; }, "runs", "run") +
                  " until the load ends its test");
  }
  if (plan.mayEndEarly) {
    why.push_back(StepsWhere(
                      plan, [](const StepPlan& s) { return s.mayEndEarly; }, "may", "may") +
                  " end sooner by a voltage or Ah stop or by the load");
  }
  for (std::size_t i = 0; i < why.size(); ++i) {
    time += (i == 0 ? " (" : "; ") + why[i];
  }
  time += why.empty() ? "\n" : ")\n";
  const std::string rows = std::string("Result rows: ") + (plan.Exact() ? "" : "about ") +
                           std::to_string(plan.rows) + "\n";
  return time + rows;
}

std::string FormatFindingCounts(const std::vector<CheckFinding>& findings) {
  return Counted(CountFindings(findings, Severity::Error), "error") + ", " +
         Counted(CountFindings(findings, Severity::Warning), "warning") + ", " +
         Counted(CountFindings(findings, Severity::Note), "note");
}

std::string FormatCheckReport(const std::vector<CheckFinding>& findings, const RunPlan& plan) {
  return FormatFindings(findings) + FormatPlan(plan) + FormatFindingCounts(findings) + "\n";
}

}  // namespace kv
