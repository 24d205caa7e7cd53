#include "report/report_chart.h"

#include <cctype>
#include <string_view>

#include "chart/verdict_look.h"
#include "results/result_columns.h"
#include "text/number_text.h"

namespace kv {

namespace {

// A tick without a measurement has no voltage; drawn as 0 V it would look
// like a collapsed battery instead of a gap.
bool StartsWithNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return false;
  }
  const char c = text[first];
  return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '+' || c == '.';
}

}  // namespace

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
      series.AddGap(t);
    } else {
      series.AddPoint(t, Value(row[kResVoltage]), Value(row[kResCurrent]), Value(row[kResPower]));
    }
  }
  return series;
}

}  // namespace kv
