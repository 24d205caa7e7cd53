#include "check/cell_checks.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

#include "steps/editor_fields.h"
#include "steps/list_cell.h"
#include "steps/step_columns.h"
#include "text/decimal_number.h"
#include "text/number_text.h"
#include "text/quoted.h"

namespace kv::detail {

namespace {

/// The number the runner takes from a cell, as the log would write it.
std::string ReadAs(int col, std::string_view text) {
  return col == kColTStop ? FormatFixed4(ToFixed4(text)) : FormatNumber(ToDouble(text));
}

// `what` names the cell only when there is something to say: the check runs
// after every change of a list of up to 32767 steps, most of them sound.
template <typename Name>
void CheckSentText(const Name& what, std::string_view text, bool judged, const StepFindings& f) {
  if (text.empty()) {
    f.Add(Severity::Warning, what() + " is empty: the load receives its command without a value");
  } else if (!IsNumberText(text, false)) {
    std::string message =
        what() + " " + Quoted(text) + " is not a number: it goes to the load as it stands";
    if (judged) {
      message += ", and the verdict reads it as " + FormatNumber(Value(text));
    }
    f.Add(Severity::Error, std::move(message));
  }
}

void CheckCell(const TestStep& cells, const CellRule& rule, const StepFindings& f) {
  const std::string& text = cells[rule.col];
  const auto name = [&rule] { return CellName(rule.col); };
  switch (rule.use) {
    case CellUse::Sent:
    case CellUse::SentAndJudged:
      CheckSentText(name, text, rule.use == CellUse::SentAndJudged, f);
      return;
    case CellUse::Read:
    case CellUse::ReadAndSent:
      if (!text.empty() && !IsNumberText(text, true)) {
        f.Add(Severity::Warning,
              name() + " " + Quoted(text) + " is not a number: the runner reads it as " +
                  ReadAs(rule.col, text) +
                  (rule.use == CellUse::ReadAndSent ? " and sends that to the load" : ""));
      }
      return;
    case CellUse::Count:
    case CellUse::CountSent: {
      if (text.empty()) {
        return;  // 0: what that means is the block's or the table's business
      }
      // Every count of a long list passes here: the words are only made for
      // a finding.
      const std::int16_t count = ToInt16(text);
      const auto used = [count] { return std::to_string(count); };
      const char* tail = rule.use == CellUse::CountSent ? " and sends that to the load" : "";
      if (!IsNumberText(text, true)) {
        f.Add(Severity::Warning, name() + " " + Quoted(text) +
                                     " is not a number: the runner reads it as " + used() + tail);
      } else if (const double value = ToDouble(text); value != static_cast<double>(count)) {
        const bool inRange = value > std::numeric_limits<std::int16_t>::min() - 1.0 &&
                             value < std::numeric_limits<std::int16_t>::max() + 1.0;
        f.Add(Severity::Warning, name() + " " + Quoted(text) +
                                     (inRange ? " is not a whole number" : " is out of range") +
                                     ": the runner uses " + used() + tail);
      }
      return;
    }
  }
}

/// The number of entries of a list cell (0 for an empty cell).
int Entries(std::string_view cell) {
  return std::max(ListHighestIndex(SplitList(cell)), 0);
}

/// Entries 1 to `used` of each list go to the load; more than the list holds
/// go out without a value.
void CheckLists(const TestStep& cells, std::initializer_list<int> cols, int used,
                std::string_view what, const StepFindings& f) {
  for (const int col : cols) {
    const int held = ListEntryCount(cells[col]);
    if (held < used) {
      f.Add(Severity::Error, CellName(col) + " holds " + std::to_string(held) +
                                 (held == 1 ? " entry for " : " entries for ") +
                                 std::to_string(used) + " " + std::string(what) +
                                 ": the load receives the rest without a value");
    }
    ForEachListEntry(cells[col], std::min(held, used), [&](int i, std::string_view entry) {
      CheckSentText([col, i] { return CellName(col) + " entry " + std::to_string(i); }, entry,
                    false, f);
    });
  }
}

/// Ramp and sequence: the Total Step cell counts the sub-steps.
int CheckTotal(const TestStep& cells, std::string_view what, const StepFindings& f) {
  const int total = ToInt16(cells[kColTotalStep]);
  if (total <= 0) {
    f.Add(Severity::Error, "Total Step " + Quoted(cells[kColTotalStep]) + ": the " +
                               std::string(what) + " has no sub-steps");
    return 0;
  }
  CheckLists(cells, {kColRampCc, kColRampTime}, total, "sub-steps", f);
  return total;
}

// The load is given at most three cycles, as many as the editor's table has.
constexpr int kCyclesSent = 3;

// The runner gives a sequence 10 s; the load runs it by its own times (ms).
constexpr double kSequenceBudgetMs = 10000.0;

void CheckSequenceTime(const TestStep& cells, int total, const StepFindings& f) {
  double ms = 0.0;
  ForEachListEntry(cells[kColRampTime], total,
                   [&ms](int /*i*/, std::string_view entry) { ms += Value(entry); });
  if (ms > kSequenceBudgetMs) {
    f.Add(Severity::Warning, "the sequence lasts " + FormatNumber(ms / 1000.0) +
                                 " s but the runner ends the step after " +
                                 FormatNumber(kSequenceBudgetMs / 1000.0) + " s");
  }
}

}  // namespace

std::string CellName(int col) {
  std::string name(kStepColumnHeaders[static_cast<std::size_t>(col)]);
  // The editor stores a sweep's end under "Step" and its increment under "Stop".
  if (col == kColStep) {
    name += " (the sweep's end)";
  } else if (col == kColStop) {
    name += " (the sweep's increment)";
  }
  return name;
}

bool IsNumberText(std::string_view text, bool dExponent) {
  std::size_t end = NumberEnd(text, NumberSyntax{.dExponent = dExponent});
  if (end == 0) {
    return false;
  }
  while (end < text.size() && IsNumberBlank(text[end])) {
    ++end;
  }
  return end == text.size();
}

void CheckCells(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  for (const CellRule& rule : rules.cells) {
    CheckCell(cells, rule, f);
  }
}

void CheckMode(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  const std::string& mode = cells[kColMode];
  if (rules.mode == ModeRule::LoadMode) {
    if (std::find(kLoadModeNames.begin(), kLoadModeNames.end(), mode) == kLoadModeNames.end()) {
      f.Add(Severity::Error, "Mode " + Quoted(mode) +
                                 " is not CC, CR, CV or CP: the load receives " +
                                 Quoted("MODE " + mode));
    }
  } else if (rules.mode == ModeRule::SequenceType && mode != "CC" && mode != "CP") {
    f.Add(Severity::Error, "Mode " + Quoted(mode) +
                               " is not CC or CP: the load receives it as the sequence type and "
                               "the levels as CP levels");
  }
}

void CheckSubTable(const TestStep& cells, const FunctionRules& rules, const StepFindings& f) {
  switch (rules.table) {
    case SubTable::None:
      return;
    case SubTable::Ramp:
      CheckTotal(cells, "ramp", f);
      return;
    case SubTable::Sequence:
      CheckSequenceTime(cells, CheckTotal(cells, "sequence", f), f);
      return;
    case SubTable::CycleLife: {
      const int rows = Entries(cells[kColHigh]);
      if (rows == 0) {
        f.Add(Severity::Error, "High holds no cycle rows: the load receives no cycle");
        return;
      }
      if (rows > kCyclesSent) {
        f.Add(Severity::Warning, std::to_string(rows) + " cycle rows: only the first " +
                                     std::to_string(kCyclesSent) + " go to the load");
      }
      const int used = std::min(rows, kCyclesSent);
      CheckLists(cells, {kColHigh, kColLow, kColTHigh, kColTLow, kColCycleCount}, used, "cycles",
                 f);
      return;
    }
  }
}

}  // namespace kv::detail
