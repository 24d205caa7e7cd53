#include "check/step_list_check.h"

#include <algorithm>
#include <optional>

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

/// What is known of the load the list will run on.
struct ModelView {
  const std::vector<std::string>* offered = nullptr;  // null: nothing identified yet
  std::optional<bool> batteryCapable;                 // unknown when only the offer is given
};

void CheckOffer(const std::string& name, const FunctionRules& rules, const ModelView& model,
                const detail::StepFindings& f) {
  if (model.offered == nullptr) {
    // What a load that answered nothing is offered, every model has.
    static const std::vector<std::string> everyModel = OfferedFunctions(kErrRec);
    if (!Contains(everyModel, name)) {
      f.Add(Severity::Note,
            "nothing is identified yet: \"" + name + "\" runs only on a model that offers it");
    }
    return;
  }
  const std::string quoted = "\"" + name + "\"";
  if (rules.batteryModel && model.batteryCapable == false) {
    f.Add(Severity::Error, quoted +
                               " needs a battery-capable model (a \"G\" in its name): the step "
                               "will be skipped");
  } else if (!Contains(*model.offered, name)) {
    f.Add(Severity::Error, quoted + " is not offered by the identified model: " +
                               (model.batteryCapable.has_value()
                                    ? "the runner sends its commands all the same"
                                    : "the runner skips the step or sends commands the load "
                                      "does not offer"));
  }
}

// Only a Dynamic Off step sends DYN OFF: the LOAD OFF of a time stop, of Stop
// and of the end of the run turns the input off and leaves the mode on.
CheckFinding DynamicLeftOn(int step) {
  const std::string off(StepFunctionName(StepFunction::DynamicOff));
  return {step, Severity::Warning,
          "no " + off +
              " step follows: DYN ON stays in force to the end of the run and after "
              "it (LOAD OFF turns the input off, not the dynamic mode), so every later step that "
              "turns the load on runs in dynamic mode"};
}

std::vector<CheckFinding> CheckSteps(const StepGrid& grid, const ModelView& model) {
  std::vector<CheckFinding> findings;
  const int count = grid.StepCount();
  if (count <= 0) {
    findings.push_back({0, Severity::Error, "the list has no steps"});
    return findings;
  }
  int dynamicOn = 0;  // the last step that turned the dynamic mode on and left it on
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
    CheckOffer(name, rules, model, f);
    detail::CheckMode(cells, rules, f);
    detail::CheckCells(cells, rules, f);
    detail::CheckStops(cells, rules, f);
    detail::CheckSubTable(cells, rules, f);
    detail::CheckNumbers(cells, rules, f);
    if (rules.dynamic != DynamicMode::Untouched) {
      dynamicOn = rules.dynamic == DynamicMode::TurnsOn ? step : 0;
    }
  }
  if (dynamicOn > 0) {
    findings.push_back(DynamicLeftOn(dynamicOn));
  }
  LoopFlow flow = FollowLoops(grid);
  findings.insert(findings.end(), flow.findings.begin(), flow.findings.end());
  std::stable_sort(findings.begin(), findings.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return a.step < b.step; });
  return findings;
}

}  // namespace

std::vector<CheckFinding> CheckStepList(const StepGrid& grid,
                                        const std::vector<std::string>* offeredFunctions) {
  return CheckSteps(grid, ModelView{offeredFunctions, std::nullopt});
}

std::vector<CheckFinding> CheckStepListForModel(const StepGrid& grid, std::string_view modelText) {
  if (modelText.empty()) {
    return CheckStepList(grid, nullptr);
  }
  const std::vector<std::string> offered = OfferedFunctions(modelText);
  return CheckSteps(grid, ModelView{&offered, IsBatteryCapable(modelText)});
}

}  // namespace kv
