#include "report/report_chart.h"

#include <string_view>

#include "chart/verdict_look.h"
#include "results/result_columns.h"
#include "text/number_text.h"

namespace kv {

ChartSeries ReportChartSeries(const RunReportSource& source) {
  const std::int64_t startMs =
      UnixMilliseconds(source.summary.Started().value_or(source.facts.identity.started));
  const auto since = [startMs](std::int64_t ms) {
    return static_cast<double>(std::max<std::int64_t>(ms - startMs, 0)) / 1000.0;
  };
  ChartSeries series;
  for (const StepEnd& step : source.summary.Steps()) {
    series.MarkStep(since(UnixMilliseconds(step.started)), step.row,
                    QString::fromStdString(step.functionName));
  }
  double t = 0;
  for (std::size_t i = 0; i < source.log.RowCount(); ++i) {
    // A row without a time keeps the one before it.
    const RowRecord* record = source.places.At(i);
    if (record != nullptr && record->unixMs) {
      t = std::max(t, since(*record->unixMs));
    }
    const ResultRowView row = source.log.RowView(i);
    if (!row[kResResult].empty()) {
      if (row[kResResult] == kPassText || row[kResResult] == kFailText) {
        series.MarkVerdict(t, row[kResResult] == kPassText);
      }
    } else if (!StartsWithNumber(row[kResVoltage])) {
      // No voltage: drawn as 0 V it would look like a collapsed battery.
      series.AddGap(t);
    } else {
      series.AddPoint(t, Value(row[kResVoltage]), Value(row[kResCurrent]), Value(row[kResPower]));
    }
  }
  return series;
}

}  // namespace kv
