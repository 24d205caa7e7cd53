#pragma once
// The per-step parts of the check, each by the rules of the step's function.

#include <string_view>
#include <vector>

#include "check/check_finding.h"
#include "check/function_rules.h"
#include "steps/test_step.h"

namespace kv::detail {

/// Every step's findings go through this.
struct StepFindings {
  int step;
  std::vector<CheckFinding>& out;

  void Add(Severity severity, std::string message) const {
    out.push_back({step, severity, std::move(message)});
  }
};

/// A column's header, and for the two sweep columns whose headers do not say
/// what they hold, what that is: "Step (the sweep's end)".
std::string CellName(int col);

/// A text that is a number from end to end (blanks around it allowed);
/// `dExponent` also accepts "D" as the exponent letter.
bool IsNumberText(std::string_view text, bool dExponent);

/// Number fields whose text is not a number, and what the load or the runner
/// then gets.
void CheckCells(const TestStep& cells, const FunctionRules& rules, const StepFindings& f);
/// A mode the load has no such command for.
void CheckMode(const TestStep& cells, const FunctionRules& rules, const StepFindings& f);
/// Sub-step totals of 0 or past their lists, and the entries that go out.
void CheckSubTable(const TestStep& cells, const FunctionRules& rules, const StepFindings& f);
/// Numbers that keep the step from doing what it says, by its number rules.
void CheckNumbers(const TestStep& cells, const FunctionRules& rules, const StepFindings& f);
/// Stop conditions that cannot end the step, or end it at once.
void CheckStops(const TestStep& cells, const FunctionRules& rules, const StepFindings& f);

}  // namespace kv::detail
