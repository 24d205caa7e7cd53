#include "export/reopened_run.h"

#include "export/row_places_file.h"
#include "results/result_file_reader.h"
#include "runner/clock_cells.h"
#include "steps/step_function.h"
#include "text/number_text.h"

namespace kv {

namespace {

double SecondsBetween(const LocalDateTime& from, const LocalDateTime& to) {
  return static_cast<double>(UnixMilliseconds(to) - UnixMilliseconds(from)) / 1000.0;
}

// Steps are told apart by what the rows hold.
class StepRebuilder {
 public:
  StepRebuilder(const ResultLog& log, const RowPlaces& places, const LocalDateTime& zone)
      : log_(log), places_(places), zone_(zone) {}

  void Row(std::size_t index, RunSummary& summary) {
    const ResultRowView row = log_.RowView(index);
    const RowRecord* record = places_.At(index);
    const std::optional<LocalDateTime> at = TimeOf(index, row);
    if (open_ && IsNewStep(row, record)) {
      Close(summary);
    }
    if (!open_) {
      open_ = StepEnd{};
      open_->row = record != nullptr ? record->place.step : 0;
      open_->functionName = std::string(row[kResFunction]);
      open_->function = FindStepFunction(open_->functionName);
      open_->reason = StepEndReason::Unrecorded;
      open_->started = at.value_or(zone_);
      open_->ended = open_->started;
      stepsTaken_ = record != nullptr ? record->stepsTaken : -1;
    }
    if (at) {
      open_->ended = *at;
      last_ = *at;
    }
    if (row[kResResult] == StepVerdictText(StepVerdict::Pass) ||
        row[kResResult] == StepVerdictText(StepVerdict::Fail)) {
      open_->verdict = row[kResResult] == StepVerdictText(StepVerdict::Pass) ? StepVerdict::Pass
                                                                             : StepVerdict::Fail;
      open_->reason = StepEndReason::Completed;
    } else if (!row[kResAh].empty()) {
      open_->ah = ToDouble(row[kResAh]);
      open_->wh = ToDouble(row[kResWh]);
    }
  }

  void Close(RunSummary& summary) {
    if (open_) {
      open_->seconds = SecondsBetween(open_->started, open_->ended);
      summary.OnStepEnded(*open_);
      open_.reset();
    }
  }

  const std::optional<LocalDateTime>& Last() const { return last_; }

 private:
  std::optional<LocalDateTime> TimeOf(std::size_t index, const ResultRowView& row) const {
    const RowRecord* record = places_.At(index);
    if (record != nullptr && record->unixMs) {
      return LocalFromUnixMilliseconds(*record->unixMs, zone_.utcOffsetMinutes);
    }
    return ReadStampCell(row[kResTotalTime], zone_);
  }

  bool IsNewStep(const ResultRowView& row, const RowRecord* record) const {
    if (record != nullptr || stepsTaken_ >= 0) {
      return record == nullptr || record->stepsTaken != stepsTaken_;
    }
    // A verdict row closes its step; the sums of a new step start again.
    return open_->verdict != StepVerdict::None || row[kResFunction] != open_->functionName ||
           (!row[kResAh].empty() && ToDouble(row[kResAh]) < open_->ah);
  }

  const ResultLog& log_;
  const RowPlaces& places_;
  const LocalDateTime zone_;
  std::optional<StepEnd> open_;
  int stepsTaken_ = -1;
  std::optional<LocalDateTime> last_;
};

}  // namespace

void RebuildRunSummary(const ResultLog& log, const RowPlaces& places,
                       const std::optional<LocalDateTime>& started, RunSummary& summary) {
  StepRebuilder steps(log, places, started.value_or(LocalDateTime{}));
  std::optional<LocalDateTime> runStart = started;
  for (std::size_t i = 0; !runStart && i < log.RowCount(); ++i) {
    runStart = ReadStampCell(log.Cell(i, kResTotalTime), LocalDateTime{});
  }
  summary.OnRunStarted(runStart.value_or(LocalDateTime{}));
  for (std::size_t i = 0; i < log.RowCount(); ++i) {
    steps.Row(i, summary);
  }
  steps.Close(summary);
  RunEnd end;
  end.reason = RunEndReason::Unrecorded;
  end.started = runStart.value_or(LocalDateTime{});
  end.ended = steps.Last().value_or(end.started);
  end.seconds = SecondsBetween(end.started, end.ended);
  summary.OnRunEnded(end);
}

ReopenedRun ReopenRun(const std::string& path) {
  ResultFileRead read = ReadResultFile(path);
  ReopenedRun run;
  if (!read.ok) {
    run.error = std::move(read.error);
    return run;
  }
  run.ok = true;
  run.files = std::move(read.files);
  run.log = std::move(read.log);
  if (read.tornLine != 0) {
    run.notes.push_back(run.files.back() + ": line " + std::to_string(read.tornLine) +
                        " was cut short (the program ended while writing it) and is left out");
  }
  if (run.files.size() == 1) {
    RowPlacesRead places = ReadRowPlaces(RowPlacesPath(path), run.log.RowCount());
    run.places = std::move(places.places);
    run.started = places.started;
    if (!places.note.empty()) {
      run.notes.push_back(std::move(places.note));
    }
  }
  RebuildRunSummary(run.log, run.places, run.started, run.summary);
  return run;
}

}  // namespace kv
