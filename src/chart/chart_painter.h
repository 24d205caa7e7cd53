#pragma once
// Draws a run's chart onto any paint device: the Chart tab's widget and a
// report's page draw the same panes, time axis, step marks and verdicts.
// Each pane draws one min/max stroke per device column, so the width of the
// plot decides the cost, not the length of the run.

#include <QColor>
#include <QFontMetrics>
#include <QRect>
#include <QString>

class QPainter;

namespace kv {

class ChartSeries;

/// The colours a device draws the chart in (a widget: its palette).
struct ChartInk {
  QColor text;
  QColor mid;
  QColor dark;
};

struct ChartFrame {
  /// The panes' area; the value labels lie left of it, the step numbers
  /// above it and the time axis under it (see chart_look's margins).
  QRect plot;
  /// The times shown, [t0, t1].
  double t0 = 0;
  double t1 = 0;
  /// The run has ended: a pane's title names the last value, not a live one.
  bool finished = false;
};

/// A value with its unit in at most `width` pixels: fewer digits where it
/// does not fit, and past that its end elided, never its sign.
QString FittedValueLabel(double value, QLatin1String unit, const QFontMetrics& fm, int width);

/// The chart without its background; nothing when the plot is too small.
void PaintChart(QPainter& p, const ChartSeries& series, const ChartFrame& frame,
                const ChartInk& ink);

}  // namespace kv
