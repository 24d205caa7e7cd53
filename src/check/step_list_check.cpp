#include "check/step_list_check.h"

#include <algorithm>

#include "check/cell_checks.h"
#include "check/function_rules.h"
#include "check/loop_flow.h"
#include "link/instrument_link.h"
#include "results/identification.h"
#include "steps/step_columns.h"

namespace kv {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void CheckOffer(const std::string& name, const std::vector<std::string>* offered,
                const detail::StepFindings& f) {
  if (offered != nullptr) {
    if (!Contains(*offered, name)) {
      f.Add(Severity::Error,
            "\"" + name + "\" is not offered by the identified model: the step will be skipped");
    }
    return;
  }
  // What a load that answered nothing is offered, every model has.
  static const std::vector<std::string> everyModel = OfferedFunctions(kErrRec);
  if (!Contains(everyModel, name)) {
    f.Add(Severity::Note, "nothing is identified yet: \"" + name +
                              "\" runs only on a model that offers it and is skipped on others");
  }
}

}  // namespace

std::vector<CheckFinding> CheckStepList(const StepGrid& grid,
                                        const std::vector<std::string>* offeredFunctions) {
  std::vector<CheckFinding> findings;
  const int count = grid.StepCount();
  if (count <= 0) {
    findings.push_back({0, Severity::Error, "the list has no steps"});
    return findings;
  }
  for (int step = 1; step <= count; ++step) {
    const detail::StepFindings f{step, findings};
    const TestStep& cells = grid.Row(step);
    const std::string& name = cells[kColFunction];
    const auto function = FindStepFunction(name);
    if (!function) {
      f.Add(Severity::Error, name.empty()
                                 ? std::string("no function: the runner skips this step")
                                 : "unknown function \"" + name + "\": the runner skips this step");
      continue;
    }
    const FunctionRules& rules = RulesFor(*function);
    CheckOffer(name, offeredFunctions, f);
    detail::CheckMode(cells, rules, f);
    detail::CheckCells(cells, rules, f);
    detail::CheckStops(cells, rules, f);
    detail::CheckSubTable(cells, rules, f);
  }
  LoopFlow flow = FollowLoops(grid);
  findings.insert(findings.end(), flow.findings.begin(), flow.findings.end());
  std::stable_sort(findings.begin(), findings.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return a.step < b.step; });
  return findings;
}

std::vector<CheckFinding> CheckStepListForModel(const StepGrid& grid, std::string_view modelText) {
  const std::vector<std::string> offered = OfferedFunctions(modelText);
  std::vector<CheckFinding> findings = CheckStepList(grid, &offered);
  if (IsBatteryCapable(modelText)) {
    return findings;
  }
  for (int step = 1; step <= grid.StepCount(); ++step) {
    const std::string& name = grid.Cell(step, kColFunction);
    const auto function = FindStepFunction(name);
    if (function && RulesFor(*function).batteryModel && Contains(offered, name)) {
      findings.push_back({step, Severity::Error,
                          "\"" + name +
                              "\" runs only on a battery-capable model (a \"G\" in its name): "
                              "the step will be skipped"});
    }
  }
  std::stable_sort(findings.begin(), findings.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return a.step < b.step; });
  return findings;
}

}  // namespace kv
