#pragma once
// kvload-run's --format jsonl: one compact JSON object per line, so that a
// script reads a run with any JSON parser instead of splitting CSV by hand.
// Cells keep the exact text of the report (a reply may not be a number). The
// objects and their keys are a published schema: a key is added, never
// renamed or retyped, without a new schema number.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "check/check_finding.h"
#include "check/run_plan.h"
#include "export/row_places.h"
#include "export/run_identity.h"
#include "results/result_log.h"
#include "runner/run_summary.h"

namespace kv {

inline constexpr int kJsonSchemaVersion = 1;

/// What names a run: the "start" object, and the run id again in "end".
using JsonRunIdentity = RunIdentity;

/// How the run came out, beside its summary.
struct JsonRunOutcome {
  int exitStatus = 0;
  /// Overrides the summary's reason ("refused"); empty: the summary's.
  std::string reason;
  /// Overrides the summary's note; empty: the summary's.
  std::string note;
  /// Empty before the load answered "name?".
  std::string model;
  /// The files actually written; the report's chunks under their real names.
  std::vector<std::string> csvFiles;
  std::string summaryFile;
  std::string journalFile;
  std::string junitFile;
  /// The Battery Data Format table; its metadata file lies beside it.
  std::string bdfFile;
  std::string reportFile;
};

/// What a bench is doing, as its retained MQTT state tells a lab.
struct JsonBenchState {
  std::string bench;
  /// "idle", "running", "finished", "stopped", "link-lost" or "offline".
  std::string state;
  std::string note;  // "load may be on" after a lost link that was not secured
  std::string list;
  int step = 0;  // the step list's row running now; 0 for none
  int steps = 0;
  std::string function;
  std::string model;
  std::string program;
  std::string version;
  LocalDateTime time;
};

/// {"type":"state","bench":..,"state":..,"note":..,"list":..,"step":n,"steps":n,
/// "function":..,"model":..,"program":..,"version":..,"time":..}; empty texts
/// and a step of 0 are null.
std::string JsonStateLine(const JsonBenchState& state);
/// {"type":"start","schema":1, then the identity's fields}.
std::string JsonStartLine(const JsonRunIdentity& identity);
/// {"type":"row","step":n,"pass":n,"no":..,"time":..,"v":..,"i":..,"w":..,
/// "ah":..,"wh":..,"stamp":..,"function":..,"result":..}, every cell a string.
std::string JsonRowLine(const ResultRowView& row, RowPlace place);
/// {"type":"step","pass":n, then the step's summary fields by key}.
std::string JsonStepLine(const StepEnd& end, int pass);
/// {"type":"message","level":..,"text":..}; level "error", "warning" or "info".
std::string JsonMessageLine(std::string_view level, std::string_view text);
/// {"type":"finding","step":n,"severity":..,"message":..} (--check).
std::string JsonFindingLine(const CheckFinding& finding);
/// {"type":"end","run":..,"exit":n,"verdict":..,"reason":.., ...}; `summary`
/// is empty (no start, no steps) for a run refused before it began.
std::string JsonEndLine(const JsonRunIdentity& identity, const JsonRunOutcome& outcome,
                        const RunSummary& summary);
/// "PASS" when every verdict taken passed, "FAIL" when one failed, empty
/// when no step took a verdict.
std::string_view OverallVerdict(const RunSummary& summary);
/// The end of --check: {"type":"end","run":..,"exit":n,"seconds":estimated run
/// time,"rows":estimated result rows,"exact":whether both are exact,
/// "errors":n,"warnings":n,"notes":n}.
std::string JsonCheckEndLine(const JsonRunIdentity& identity, int exitStatus, const RunPlan& plan,
                             const std::vector<CheckFinding>& findings);

}  // namespace kv
