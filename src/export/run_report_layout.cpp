#include "export/run_report_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "check/check_report.h"
#include "results/result_columns.h"
#include "steps/step_columns.h"

namespace kv {

namespace {

constexpr std::string_view kFail = "FAIL";

// Fills pages line by line. A table's line that finds its page full starts
// the next one with the table's title and header again; a title is never
// left alone at the foot of a page.
class PageFiller {
 public:
  PageFiller(std::vector<ReportPage>& pages, const ReportPageLines& room)
      : pages_(pages), room_(room) {
    pages_.push_back({true, {}});
  }

  void Section(std::string title, std::vector<std::string> columns) {
    title_ = std::move(title);
    columns_ = std::move(columns);
    const int need = PageLineUnits(PageLineKind::Title) + (columns_.empty() ? 0 : 1) + 1;
    if (Free() < need) {
      NewPage();
    }
    Put({PageLineKind::Title, {title_}, false});
    if (!columns_.empty()) {
      Put({PageLineKind::TableHeader, columns_, false});
    }
  }

  void Add(PageLine line) {
    if (Free() < PageLineUnits(line.kind)) {
      NewPage();
      Put({PageLineKind::Title, {title_ + " (continued)"}, false});
      if (!columns_.empty()) {
        Put({PageLineKind::TableHeader, columns_, false});
      }
    }
    Put(std::move(line));
  }

  std::size_t ColumnsOrOne() const { return std::max<std::size_t>(columns_.size(), 1); }

 private:
  int Free() const { return (pages_.size() == 1 ? room_.first : room_.other) - used_; }
  void NewPage() {
    pages_.push_back({false, {}});
    used_ = 0;
  }
  void Put(PageLine line) {
    used_ += PageLineUnits(line.kind);
    pages_.back().lines.push_back(std::move(line));
  }

  std::vector<ReportPage>& pages_;
  const ReportPageLines& room_;
  int used_ = 0;
  std::string title_;
  std::vector<std::string> columns_;
};

// Splits `text` at blanks into pieces of at most `width` characters (a
// longer word is cut).
std::vector<std::string> Wrap(const std::string& text, int width) {
  const auto limit = static_cast<std::size_t>(std::max(width, 8));
  std::vector<std::string> pieces;
  std::string_view rest = text;
  while (rest.size() > limit) {
    std::size_t cut = rest.rfind(' ', limit);
    cut = cut == std::string_view::npos || cut == 0 ? limit : cut;
    pieces.emplace_back(rest.substr(0, cut));
    rest.remove_prefix(cut);
    while (!rest.empty() && rest.front() == ' ') {
      rest.remove_prefix(1);
    }
  }
  pieces.emplace_back(rest);
  return pieces;
}

// A table line whose last cell wraps: the pieces after the first go on
// lines of their own, under the same column.
void AddWrapped(PageFiller& filler, std::vector<std::string> cells, bool fail, int width) {
  const std::vector<std::string> pieces = Wrap(cells.back(), width);
  cells.back() = pieces.front();
  filler.Add({PageLineKind::Row, std::move(cells), fail});
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    std::vector<std::string> more(filler.ColumnsOrOne(), "");
    more.back() = pieces[i];
    filler.Add({PageLineKind::Row, std::move(more), fail});
  }
}

std::string Stamp(const LocalDateTime& t) {
  std::string text = FormatIsoLocal(t);
  std::replace(text.begin(), text.end(), 'T', ' ');
  return text;
}

std::string Amount(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return text;
}

ReportVerdict OverallVerdict(const RunReportSource& source) {
  for (const StepEnd& step : source.summary.Steps()) {
    if (step.verdict == StepVerdict::Fail) {
      return ReportVerdict::Fail;
    }
  }
  for (std::size_t i = 0; i < source.log.RowCount(); ++i) {
    if (source.log.Cell(i, kResResult) == kFail) {
      return ReportVerdict::Fail;
    }
  }
  const std::optional<RunEnd>& end = source.summary.End();
  const bool completed = end && end->reason == RunEndReason::Completed &&
                         source.facts.reason.empty() && source.facts.exitStatus.value_or(0) == 0;
  return completed ? ReportVerdict::Pass : ReportVerdict::Incomplete;
}

std::array<ReportField, kReportHeaderFields> HeaderFields(const RunReportSource& source) {
  const RunReportFacts& facts = source.facts;
  const RunIdentity& id = facts.identity;
  const std::optional<RunEnd>& end = source.summary.End();
  const LocalDateTime started = source.summary.Started().value_or(id.started);
  std::string reason = facts.reason;
  if (reason.empty()) {
    reason = end ? std::string(RunEndReasonText(end->reason)) : "not ended";
  }
  const std::string none = "-";
  std::string link = id.linkMode.empty() ? none : id.linkMode;
  if (!id.linkAddress.empty()) {
    link += " " + id.linkAddress;
  }
  return {{
      {"Bench", facts.bench.empty() ? none : facts.bench},
      {"Load model", facts.model.empty() ? "not identified" : facts.model},
      {"Link", link},
      {"Step list", id.listPath.empty() ? "not saved" : id.listPath},
      {"SHA-256",
       id.listSha256.empty() ? "unknown (the list was changed or not saved)" : id.listSha256},
      {"Start", FormatIso8601(started)},
      {"End", end ? FormatIso8601(end->ended) : none},
      {"Duration", end ? FormatDuration(std::llround(end->seconds)) : none},
      {"End reason", reason},
      {"Exit status", facts.exitStatus ? std::to_string(*facts.exitStatus) : none},
      {"Program", id.program + " " + id.version},
  }};
}

// "Mode CC  SinkValue 2  TStop 20": the cells a step fills, by their captions.
std::string StepCells(const StepGrid& steps, int row) {
  std::string text;
  for (int col = kColFunction + 1; col < kStepColumns; ++col) {
    const std::string& cell = steps.Cell(row, col);
    if (cell.find_first_not_of(' ') == std::string::npos) {
      continue;
    }
    text += (text.empty() ? "" : "  ") +
            std::string(kStepColumnHeaders[static_cast<std::size_t>(col)]) + " " + cell;
  }
  return text;
}

}  // namespace

int PageLineUnits(PageLineKind kind) {
  return kind == PageLineKind::Title ? 2 : 1;
}

std::string ReportPageNumber(std::size_t index, std::size_t count) {
  return std::to_string(index + 1) + " / " + std::to_string(count);
}

std::string_view ReportVerdictText(ReportVerdict verdict) {
  switch (verdict) {
    case ReportVerdict::Pass:
      return "PASS";
    case ReportVerdict::Fail:
      return kFail;
    case ReportVerdict::Incomplete:
      break;
  }
  return "INCOMPLETE";
}

RunReportLayout LayOutRunReport(const RunReportSource& source, const ReportPageLines& room) {
  RunReportLayout layout;
  const std::string& list = source.facts.identity.listPath;
  layout.title = "Run report: " + (list.empty() ? std::string("unsaved list") : list) +
                 (source.facts.bench.empty() ? "" : ", bench " + source.facts.bench);
  layout.header = HeaderFields(source);
  layout.verdict = OverallVerdict(source);
  PageFiller filler(layout.pages, room);

  const std::vector<StepEnd>& taken = source.summary.Steps();
  filler.Section("Steps taken (" + std::to_string(taken.size()) + ")",
                 {"No.", "Function", "Start", "Duration", "End reason", "Ah", "Wh", "Verdict"});
  for (const StepEnd& step : taken) {
    const std::string_view verdict = StepVerdictText(step.verdict);
    filler.Add({PageLineKind::Row,
                {std::to_string(step.row), step.functionName, Stamp(step.started),
                 FormatDuration(std::llround(step.seconds)), StepEndNote(step), Amount(step.ah),
                 Amount(step.wh), std::string(verdict)},
                step.verdict == StepVerdict::Fail});
  }
  if (taken.empty()) {
    filler.Add({PageLineKind::Text, {"No step was taken."}, false});
  }

  if (!source.facts.listKnown) {
    filler.Section("Check findings and step list", {});
    filler.Add(
        {PageLineKind::Text,
         {"Not known: this report was made from the run's rows (reopened from its journal or "
          "report), which hold neither the list nor its check."},
         false});
    return layout;
  }
  filler.Section("Check findings (" + FormatFindingCounts(source.findings) + ")",
                 {"Step", "Severity", "Finding"});
  for (const CheckFinding& f : source.findings) {
    AddWrapped(filler,
               {f.step == 0 ? "list" : std::to_string(f.step),
                std::string(SeverityName(f.severity)), f.message},
               f.severity == Severity::Error, room.wrapChars);
  }
  if (source.findings.empty()) {
    filler.Add({PageLineKind::Text, {"The check found nothing to report."}, false});
  }

  filler.Section("Step list as run (" + std::to_string(source.steps.StepCount()) + " steps)",
                 {"No.", "Function", "Values"});
  for (int row = 1; row <= source.steps.StepCount(); ++row) {
    AddWrapped(
        filler,
        {std::to_string(row), source.steps.Cell(row, kColFunction), StepCells(source.steps, row)},
        false, room.wrapChars);
  }
  return layout;
}

}  // namespace kv
