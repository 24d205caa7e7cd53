#pragma once
// A finished run's chart from its rows: the times come from when each row
// arrived (the row record), the step marks from the summary's step starts.

#include "chart/chart_series.h"
#include "export/run_report_layout.h"

namespace kv {

/// Seconds from the run's start to its last row; the series as the Chart
/// tab would have drawn them live.
ChartSeries ReportChartSeries(const RunReportSource& source);

}  // namespace kv
