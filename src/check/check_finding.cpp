#include "check/check_finding.h"

#include <algorithm>

namespace kv {

std::string_view SeverityName(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Note:
      return "note";
  }
  return "note";
}

int CountFindings(const std::vector<CheckFinding>& findings, Severity severity) {
  return static_cast<int>(
      std::count_if(findings.begin(), findings.end(),
                    [severity](const CheckFinding& f) { return f.severity == severity; }));
}

}  // namespace kv
