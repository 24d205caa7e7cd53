#pragma once
// What the step-list check reports: one finding per problem, tied to a step.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class Severity {
  Error,    // the run will not do what the list says
  Warning,  // the run does something the operator may not expect
  Note,     // worth knowing, nothing wrong
};

struct CheckFinding {
  /// Step number (1 = first step); 0 for the list as a whole.
  int step = 0;
  Severity severity = Severity::Note;
  std::string message;

  bool operator==(const CheckFinding&) const = default;
};

/// "error", "warning" or "note".
std::string_view SeverityName(Severity severity);

int CountFindings(const std::vector<CheckFinding>& findings, Severity severity);

inline bool HasErrors(const std::vector<CheckFinding>& findings) {
  return CountFindings(findings, Severity::Error) > 0;
}

}  // namespace kv
