#pragma once
// The run report's pages as data: the header of the run, the chart's place,
// the summary table of the steps taken, the check's findings and the step
// list as run, split over pages by lines. A table that goes on to the next
// page carries its title and its column header again; every page names
// itself "n / N". The drawing only places what this decides.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "check/check_finding.h"
#include "export/row_places.h"
#include "export/run_identity.h"
#include "results/result_log.h"
#include "runner/run_summary.h"
#include "steps/step_grid.h"

namespace kv {

/// The facts of a run that its rows and summary do not hold.
struct RunReportFacts {
  RunIdentity identity;
  /// The load's reply to "name?"; empty when it gave none.
  std::string model;
  std::string bench;
  /// None where no process status applies (the desktop program).
  std::optional<int> exitStatus;
  /// Overrides the summary's end reason ("timeout"); empty: the summary's.
  std::string reason;
  /// False for a run reopened from its rows, which hold neither the list nor
  /// what its check said.
  bool listKnown = true;
};

/// Everything a report is made of; none of it is changed.
struct RunReportSource {
  const ResultLog& log;
  const RowPlaces& places;
  const RunSummary& summary;
  /// The list as it ran.
  const StepGrid& steps;
  const std::vector<CheckFinding>& findings;
  RunReportFacts facts;
};

enum class ReportVerdict { Pass, Fail, Incomplete };

struct ReportField {
  std::string caption;
  std::string value;
};

enum class PageLineKind {
  Title,        // a section's title, with room above it
  TableHeader,  // the column captions of the section's table
  Row,          // one line of a table
  Text,         // a line of plain text
};

struct PageLine {
  PageLineKind kind = PageLineKind::Text;
  std::vector<std::string> cells;
  /// Drawn in the colour of a FAIL (a failed step, an error of the check).
  bool fail = false;
};

struct ReportPage {
  /// The first page: the run's header and the chart above the lines.
  bool header = false;
  std::vector<PageLine> lines;
};

/// How many line heights a page holds below its running title: the first
/// page fewer (the header and the chart take the rest). Longer texts than
/// `wrapChars` continue on the next line.
struct ReportPageLines {
  int first = 20;
  int other = 60;
  int wrapChars = 100;
};

/// The header's fields: bench, load model, link, step list, its SHA-256,
/// start, end, duration, end reason, exit status, program.
inline constexpr std::size_t kReportHeaderFields = 11;

struct RunReportLayout {
  /// The running title of every page.
  std::string title;
  std::array<ReportField, kReportHeaderFields> header;
  ReportVerdict verdict = ReportVerdict::Incomplete;
  std::vector<ReportPage> pages;
};

/// The columns of the summary table.
inline constexpr int kReportStepColumns = 8;

/// The line heights a line takes (a title takes its room above it too).
int PageLineUnits(PageLineKind kind);
/// "3 / 7".
std::string ReportPageNumber(std::size_t index, std::size_t count);
/// "PASS", "FAIL" or "INCOMPLETE".
std::string_view ReportVerdictText(ReportVerdict verdict);

RunReportLayout LayOutRunReport(const RunReportSource& source, const ReportPageLines& room);

}  // namespace kv
