#pragma once
// The summary of the latest run: one entry per step taken (each pass of a
// loop counts) and how the run ended. It listens to the runner's events and
// passes every event on to the next observer, so a host puts it in front of
// its own observer; a host may also feed it by calling its On... methods.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/atomic_file_writer.h"
#include "runner/runner_tick.h"
#include "runner/step_end.h"

namespace kv {

class RunSummary : public RunnerObserver {
 public:
  explicit RunSummary(RunnerObserver* next = nullptr) : next_(next) {}

  /// The steps taken by the latest run, in the order they were left.
  const std::vector<StepEnd>& Steps() const { return steps_; }
  /// None before the first run.
  const std::optional<LocalDateTime>& Started() const { return started_; }
  /// None while the run goes on.
  const std::optional<RunEnd>& End() const { return end_; }

  /// Takes `other`'s run as the latest one (a run read back from its rows),
  /// passing no event on.
  void Restore(const RunSummary& other);

  void OnStepStarted(int row, int previousRow) override;
  void OnRowAdded(std::size_t index) override;
  void OnMessage(std::string_view text) override;
  void OnNotice(std::string_view text) override;
  void OnRunFinished(int lastRow) override;
  void OnRunStarted(const LocalDateTime& at) override;
  void OnStepEnded(const StepEnd& end) override;
  void OnRunEnded(const RunEnd& end) override;
  void OnMeasurementsLost() override;

 private:
  RunnerObserver* next_;
  std::optional<LocalDateTime> started_;
  std::vector<StepEnd> steps_;
  std::optional<RunEnd> end_;
};

/// One value of a summary line: nothing, a text or a number.
using SummaryValue = std::variant<std::monostate, std::string, double>;

/// A named value: `key` for JSON, `caption` for the CSV header.
struct SummaryField {
  std::string_view key;
  std::string_view caption;
  SummaryValue value;
};

/// The fields of one step, in the CSV's column order: step, function,
/// start, end, seconds, reason, skip, verdict, ah, wh, note. Times are local
/// ISO 8601 ("2026-12-06T10:00:04"); a missing verdict or skip is nothing.
std::vector<SummaryField> StepSummaryFields(const StepEnd& end);
/// The run in the same columns: type "run" (in the Step column), start, end, seconds, reason
/// ("completed", "stopped", "link-lost") and note; end, seconds and reason
/// are nothing while the run goes on.
std::vector<SummaryField> RunSummaryFields(const RunSummary& summary);

/// "2026-12-06T10:00:04".
std::string FormatIsoLocal(const LocalDateTime& t);
/// "2026-12-06T10:00:04.250+01:00": one instant, with milliseconds.
std::string FormatIso8601(const LocalDateTime& t);

/// A header line, one line per step and the run line, CR LF ends. A field
/// holding a comma, a quote or a line break is quoted; control characters
/// become blanks.
std::string FormatRunSummaryCsv(const RunSummary& summary);
/// The CSV above, written whole or not at all.
bool WriteRunSummaryCsv(const std::string& path, const RunSummary& summary,
                        AtomicWriteError* error = nullptr);

}  // namespace kv
