#include "ui/run_chart_feed.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "chart/verdict_look.h"
#include "export/row_places.h"
#include "results/result_columns.h"
#include "runner/clock_cells.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "steps/step_function.h"
#include "text/number_text.h"
#include "ui/run_chart.h"

namespace kv {

RunChartFeed::RunChartFeed(const Station& station, RunChart& chart, QObject* parent)
    : QObject(parent), station_(station), chart_(chart) {
  connect(&station, &Station::logCleared, this, &RunChartFeed::OnLogCleared);
  connect(&station, &Station::rowAdded, this, &RunChartFeed::OnRowAdded);
  connect(&station, &Station::stepStarted, this, [this](int row, int) { OnStepStarted(row); });
  connect(&station, &Station::runEnded, this, [this] { chart_.Finish(); });
}

double RunChartFeed::Elapsed() const {
  return sinceRun_.isValid() ? static_cast<double>(sinceRun_.nsecsElapsed()) / 1e9 : 0.0;
}

void RunChartFeed::OnLogCleared() {
  chart_.Clear();
  // Run empties the log: the chart's time counts from there, as the status
  // line's run clock does.
  sinceRun_.start();
}

void RunChartFeed::OnRowAdded(qsizetype index) {
  AddRow(Elapsed(), station_.Log().RowView(static_cast<std::size_t>(index)));
}

void RunChartFeed::ShowEndedRun(const RowPlaces& places,
                                const std::optional<LocalDateTime>& started) {
  chart_.Clear();
  sinceRun_.invalidate();
  const ResultLog& log = station_.Log();
  std::optional<std::int64_t> startMs;
  if (started) {
    startMs = UnixMilliseconds(*started);
  }
  double at = 0.0;
  int stepsTaken = -1;
  std::string_view function;
  for (std::size_t i = 0; i < log.RowCount(); ++i) {
    const ResultRowView row = log.RowView(i);
    const RowRecord* record = places.At(i);
    std::optional<std::int64_t> ms;
    if (record != nullptr && record->unixMs) {
      ms = record->unixMs;
    } else if (const auto stamp =
                   ReadStampCell(row[kResTotalTime], started.value_or(LocalDateTime{}))) {
      ms = UnixMilliseconds(*stamp);
    }
    if (ms) {
      startMs = startMs.value_or(*ms);
      at = std::max(at, static_cast<double>(*ms - *startMs) / 1000.0);
    }
    // Without places a step shows only by its function changing.
    if (record != nullptr ? record->stepsTaken != stepsTaken
                          : (i == 0 || row[kResFunction] != function)) {
      chart_.MarkStep(at, record != nullptr ? record->place.step : 0,
                      QString::fromUtf8(row[kResFunction].data(),
                                        static_cast<qsizetype>(row[kResFunction].size())));
      stepsTaken = record != nullptr ? record->stepsTaken : -1;
      function = row[kResFunction];
    }
    AddRow(at, row);
  }
  chart_.Finish();
}

void RunChartFeed::AddRow(double at, const ResultRowView& row) {
  // A verdict row carries a trip level or a reply in its cells, not a
  // measurement of the moment.
  if (!row[kResResult].empty()) {
    if (row[kResResult] == kPassText || row[kResResult] == kFailText) {
      chart_.MarkVerdict(at, row[kResResult] == kPassText);
    }
    return;
  }
  // No voltage: drawn as 0 V it would look like a collapsed battery.
  if (!StartsWithNumber(row[kResVoltage])) {
    chart_.AddGap(at);
    return;
  }
  chart_.AddPoint(at, Value(row[kResVoltage]), Value(row[kResCurrent]), Value(row[kResPower]));
}

void RunChartFeed::OnStepStarted(int row) {
  const std::string_view name = station_.Steps().Cell(row, kColFunction);
  const std::optional<StepFunction> function = FindStepFunction(name);
  // FOR and LOOP only move the runner through the list; nothing runs there.
  if (function == StepFunction::For || function == StepFunction::Loop) {
    return;
  }
  chart_.MarkStep(Elapsed(), row,
                  QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

}  // namespace kv
