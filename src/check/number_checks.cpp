// The step's numbers against each other, by the number rules of its function.

#include <algorithm>
#include <optional>
#include <string>

#include "check/cell_checks.h"
#include "steps/list_cell.h"
#include "steps/step_columns.h"
#include "text/number_text.h"

namespace kv::detail {

namespace {

/// The number the load reads from a text that is one from end to end.
std::optional<double> NumberIn(std::string_view text) {
  if (!IsNumberText(text, false)) {
    return std::nullopt;
  }
  return Value(text);
}

std::string Named(int col, double value) {
  return CellName(col) + " " + FormatNumber(value);
}

/// False when the step breaks `rule`, after saying so.
bool Holds(const TestStep& cells, const NumberRule& rule, const StepFindings& f) {
  const std::string consequence = ": " + std::string(rule.consequence);
  switch (rule.test) {
    case NumberTest::AboveZero: {
      const auto a = NumberIn(cells[rule.a]);
      if (!a || *a > 0.0) {
        return true;
      }
      f.Add(rule.severity, CellName(rule.a) + " is " + FormatNumber(*a) + consequence);
      return false;
    }
    case NumberTest::NotAbove: {
      const auto a = NumberIn(cells[rule.a]);
      const auto b = NumberIn(cells[rule.b]);
      if (!a || !b || *a <= *b) {
        return true;
      }
      f.Add(rule.severity, Named(rule.a, *a) + " is above " + Named(rule.b, *b) + consequence);
      return false;
    }
    case NumberTest::EntriesAboveZero: {
      // Entries past Total Step stay in the cell but never reach the load.
      const std::vector<std::string> entries = SplitList(cells[rule.a]);
      const int sent = std::min<int>(ToInt16(cells[kColTotalStep]), ListHighestIndex(entries));
      bool held = true;
      for (int i = 1; i <= sent; ++i) {
        const auto v = NumberIn(ListEntry(entries, i));
        if (v && *v <= 0.0) {
          f.Add(rule.severity, CellName(rule.a) + " entry " + std::to_string(i) + " is " +
                                   FormatNumber(*v) + consequence);
          held = false;
        }
      }
      return held;
    }
  }
  return true;
}

}  // namespace

void CheckNumbers(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  bool error = false;
  for (const NumberRule& rule : rules.numbers) {
    if (rule.dependent && error) {
      continue;
    }
    if (!Holds(cells, rule, f) && rule.severity == Severity::Error) {
      error = true;
    }
  }
}

}  // namespace kv::detail
