#include "ui/run_chart_feed.h"

#include <string_view>

#include "chart/verdict_look.h"
#include "results/result_columns.h"
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
  const ResultRowView row = station_.Log().RowView(static_cast<std::size_t>(index));
  // A verdict row carries a trip level or a reply in its cells, not a
  // measurement of the moment.
  if (!row[kResResult].empty()) {
    if (row[kResResult] == kPassText || row[kResResult] == kFailText) {
      chart_.MarkVerdict(Elapsed(), row[kResResult] == kPassText);
    }
    return;
  }
  // No voltage: drawn as 0 V it would look like a collapsed battery.
  if (!StartsWithNumber(row[kResVoltage])) {
    chart_.AddGap(Elapsed());
    return;
  }
  chart_.AddPoint(Elapsed(), Value(row[kResVoltage]), Value(row[kResCurrent]),
                  Value(row[kResPower]));
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
