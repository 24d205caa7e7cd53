#include "runner/run_summary.h"

#include <array>
#include <cstdio>
#include <utility>

#include "text/number_text.h"

namespace kv {

namespace {

constexpr std::array<std::string_view, 11> kCaptions = {
    "Step", "Function", "Start", "End", "Seconds", "Reason", "Skip", "Verdict", "Ah", "Wh", "Note"};

SummaryValue TextOrNothing(std::string_view text) {
  if (text.empty()) {
    return std::monostate{};
  }
  return std::string(text);
}

int Clamp(int v, int lo, int hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

// The report's own files are unquoted, but these cells hold free text (an
// unknown function cell, a note quoting it), which must not split a record.
std::string CsvCell(const SummaryValue& value) {
  if (const double* number = std::get_if<double>(&value)) {
    return FormatNumber(*number);
  }
  const std::string* text = std::get_if<std::string>(&value);
  if (text == nullptr) {
    return {};
  }
  std::string cell;
  bool quote = false;
  for (const char c : *text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      cell += ' ';
      continue;
    }
    quote = quote || c == ',' || c == '"';
    cell += c;
    if (c == '"') {
      cell += '"';
    }
  }
  return quote ? "\"" + cell + "\"" : cell;
}

void AppendLine(std::string& out, const std::vector<SummaryField>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) {
      out += ',';
    }
    out += CsvCell(fields[i].value);
  }
  out += "\r\n";
}

}  // namespace

void RunSummary::Restore(const RunSummary& other) {
  started_ = other.started_;
  steps_ = other.steps_;
  end_ = other.end_;
}

void RunSummary::OnStepStarted(int row, int previousRow) {
  if (next_ != nullptr) {
    next_->OnStepStarted(row, previousRow);
  }
}

void RunSummary::OnRowAdded(std::size_t index) {
  if (next_ != nullptr) {
    next_->OnRowAdded(index);
  }
}

void RunSummary::OnMessage(std::string_view text) {
  if (next_ != nullptr) {
    next_->OnMessage(text);
  }
}

void RunSummary::OnNotice(std::string_view text) {
  if (next_ != nullptr) {
    next_->OnNotice(text);
  }
}

void RunSummary::OnRunFinished(int lastRow) {
  if (next_ != nullptr) {
    next_->OnRunFinished(lastRow);
  }
}

void RunSummary::OnRunStarted(const LocalDateTime& at) {
  started_ = at;
  steps_.clear();
  end_.reset();
  if (next_ != nullptr) {
    next_->OnRunStarted(at);
  }
}

void RunSummary::OnStepEnded(const StepEnd& end) {
  steps_.push_back(end);
  if (next_ != nullptr) {
    next_->OnStepEnded(end);
  }
}

void RunSummary::OnMeasurementsLost() {
  if (next_ != nullptr) {
    next_->OnMeasurementsLost();
  }
}

void RunSummary::OnRunEnded(const RunEnd& end) {
  end_ = end;
  if (!started_) {
    started_ = end.started;
  }
  if (next_ != nullptr) {
    next_->OnRunEnded(end);
  }
}

std::string FormatIsoLocal(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", Clamp(t.year, 0, 9999),
                Clamp(t.month, 0, 99), Clamp(t.day, 0, 99), Clamp(t.hour, 0, 99),
                Clamp(t.minute, 0, 99), Clamp(t.second, 0, 99));
  return buf;
}

std::string FormatIso8601(const LocalDateTime& t) {
  const int offset = Clamp(t.utcOffsetMinutes, -24 * 60 + 1, 24 * 60 - 1);
  const int magnitude = offset < 0 ? -offset : offset;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s.%03d%c%02d:%02d", FormatIsoLocal(t).c_str(),
                Clamp(t.millisecond, 0, 999), offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return buf;
}

std::vector<SummaryField> StepSummaryFields(const StepEnd& end) {
  return {
      {"step", kCaptions[0], static_cast<double>(end.row)},
      {"function", kCaptions[1], TextOrNothing(end.functionName)},
      {"start", kCaptions[2], FormatIsoLocal(end.started)},
      {"end", kCaptions[3], FormatIsoLocal(end.ended)},
      {"seconds", kCaptions[4], end.seconds},
      {"reason", kCaptions[5], std::string(StepEndReasonName(end.reason))},
      {"skip", kCaptions[6], TextOrNothing(SkipReasonName(end.skip))},
      {"verdict", kCaptions[7], TextOrNothing(StepVerdictText(end.verdict))},
      {"ah", kCaptions[8], end.ah},
      {"wh", kCaptions[9], end.wh},
      {"note", kCaptions[10], StepEndNote(end)},
  };
}

std::vector<SummaryField> RunSummaryFields(const RunSummary& summary) {
  SummaryValue start;
  SummaryValue ended;
  SummaryValue seconds;
  SummaryValue reason;
  std::string note = "running";
  if (summary.Started()) {
    start = FormatIsoLocal(*summary.Started());
  }
  if (const std::optional<RunEnd>& end = summary.End()) {
    ended = FormatIsoLocal(end->ended);
    seconds = end->seconds;
    reason = std::string(RunEndReasonName(end->reason));
    note = RunEndReasonText(end->reason);
  }
  return {
      {"type", kCaptions[0], std::string("run")},    {"function", kCaptions[1], std::monostate{}},
      {"start", kCaptions[2], std::move(start)},     {"end", kCaptions[3], std::move(ended)},
      {"seconds", kCaptions[4], std::move(seconds)}, {"reason", kCaptions[5], std::move(reason)},
      {"skip", kCaptions[6], std::monostate{}},      {"verdict", kCaptions[7], std::monostate{}},
      {"ah", kCaptions[8], std::monostate{}},        {"wh", kCaptions[9], std::monostate{}},
      {"note", kCaptions[10], std::move(note)},
  };
}

std::string FormatRunSummaryCsv(const RunSummary& summary) {
  std::string out;
  for (std::size_t i = 0; i < kCaptions.size(); ++i) {
    if (i > 0) {
      out += ',';
    }
    out += kCaptions[i];
  }
  out += "\r\n";
  for (const StepEnd& step : summary.Steps()) {
    AppendLine(out, StepSummaryFields(step));
  }
  AppendLine(out, RunSummaryFields(summary));
  return out;
}

bool WriteRunSummaryCsv(const std::string& path, const RunSummary& summary,
                        AtomicWriteError* error) {
  return WriteFileAtomically(path, FormatRunSummaryCsv(summary), error);
}

}  // namespace kv
