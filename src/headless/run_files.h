#pragma once
// The files a run leaves when it ends (--csv, --summary, --junit, --bdf,
// --report), written alike for a live run and for one reopened from its rows.

#include <optional>
#include <string>

#include "base/clock.h"
#include "export/row_places.h"
#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "results/result_log.h"
#include "runner/run_summary.h"
#include "station/json_lines.h"
#include "steps/step_grid.h"

namespace kv {

struct RunFilesSource {
  const ResultLog& log;
  const RowPlaces& places;
  const RunSummary& summary;
  /// When the run began, from which BDF test time counts.
  std::optional<LocalDateTime> started;
  /// The list as it ran; null when it is not known (a reopened run).
  const StepGrid* steps = nullptr;
  /// The JUnit suite's name.
  std::string suite;
  /// The load's reply to "name?"; empty when it gave none.
  std::string model;
  std::string bench;
};

/// --csv, --summary and --junit; names those written in `outcome`. False when
/// one of them could not be written.
bool WriteRunFiles(const HeadlessOptions& options, const RunFilesSource& source,
                   HeadlessConsole& console, JsonRunOutcome& outcome);

/// --bdf and --report, written last so that they carry the exit status the
/// other files left (none: not known, as for a reopened run). False when one
/// of them could not be written.
bool WriteClosingFiles(const HeadlessOptions& options, const RunFilesSource& source,
                       const JsonRunIdentity& identity, std::optional<int> status,
                       HeadlessConsole& console, JsonRunOutcome& outcome);

}  // namespace kv
