#pragma once
// A run read back from its journal or CSV report: the rows, the places kept
// beside a journal, and the summary rebuilt from them, for the same views and
// exports a live run has.

#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "export/row_places.h"
#include "results/result_log.h"
#include "runner/run_summary.h"

namespace kv {

struct ReopenedRun {
  bool ok = false;
  /// The file and why it was refused; empty when ok.
  std::string error;
  std::vector<std::string> files;
  ResultLog log;
  RowPlaces places;
  /// From the places file; none without one.
  std::optional<LocalDateTime> started;
  RunSummary summary;
  /// What the operator is told once: a dropped torn line, places left aside.
  std::vector<std::string> notes;
};

/// Reads `path` (a journal, a report, or a report's "_0" chunk with the
/// chunks after it); nothing is loaded from a file that is refused.
ReopenedRun ReopenRun(const std::string& path);

/// The summary a live run would have built for these rows, as far as rows
/// tell: a step per steps-taken count (without places, per change of
/// function or fall of the step's Ah), its verdict from its verdict row, its
/// sums from its last row; how steps and the run ended is not in the rows.
void RebuildRunSummary(const ResultLog& log, const RowPlaces& places,
                       const std::optional<LocalDateTime>& started, RunSummary& summary);

}  // namespace kv
