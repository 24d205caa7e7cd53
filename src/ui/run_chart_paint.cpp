// The Chart tab's painting: the shared chart, and over it the read-out
// under the mouse.
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "chart/chart_look.h"
#include "chart/chart_painter.h"
#include "ui/run_chart.h"

namespace kv {

using namespace chart_look;  // NOLINT(google-build-using-namespace): one file's own look

void RunChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  const QRect plot = PlotRect();
  if (plot.width() < 2 || plot.height() < 3 * 10) {
    return;
  }
  const auto [t0, t1] = VisibleRange();
  const QPalette& pal = palette();
  PaintChart(p, series_, {plot, t0, t1, view_.Finished()},
             {pal.color(QPalette::Text), pal.color(QPalette::Mid), pal.color(QPalette::Dark)});
  PaintReadOut(p, plot, t0, t1);
}

QString RunChart::ReadOut(double elapsedSeconds) const {
  const std::vector<double>& times = series_.Times();
  if (times.empty()) {
    return {};
  }
  // The nearest point, of the two around the time.
  const auto after = std::lower_bound(times.begin(), times.end(), elapsedSeconds);
  auto at = after == times.end() ? after - 1 : after;
  if (at != times.begin() && elapsedSeconds - *(at - 1) < *at - elapsedSeconds) {
    --at;
  }
  const auto k = static_cast<std::size_t>(at - times.begin());
  const auto cell = [&](int series, const char* unit) {
    const float v = series_.Values(series)[k];
    return std::isfinite(v) ? QStringLiteral("%1 %2")
                                  .arg(static_cast<double>(v), 0, 'g', 6)
                                  .arg(QLatin1String(unit))
                            : QStringLiteral("no measurement");
  };
  QString text = QStringLiteral("%1   %2   %3   %4")
                     .arg(ElapsedText(*at), cell(0, "V"), cell(1, "A"), cell(2, "W"));
  const std::vector<ChartSeries::Mark>& marks = series_.Marks();
  const auto mark = std::upper_bound(marks.begin(), marks.end(), *at,
                                     [](double t, const ChartSeries::Mark& m) { return t < m.t; });
  if (mark != marks.begin()) {
    text += QStringLiteral("   step %1 %2").arg((mark - 1)->stepNo).arg((mark - 1)->function);
  }
  return text;
}

void RunChart::PaintReadOut(QPainter& p, const QRect& plot, double t0, double t1) {
  if (hoverX_ < plot.left() || hoverX_ > plot.right() || dragging_) {
    return;
  }
  const double t = t0 + (hoverX_ - plot.left()) * (t1 - t0) / plot.width();
  const QString text = ReadOut(t);
  if (text.isEmpty()) {
    return;
  }
  QColor line = palette().color(QPalette::Text);
  line.setAlpha(90);
  p.setPen(line);
  p.drawLine(hoverX_, plot.top(), hoverX_, plot.bottom());
  const QFontMetrics fm = p.fontMetrics();
  QRect box(0, 0, fm.horizontalAdvance(text) + 12, fm.height() + 6);
  // Beside the cursor, on the side with room, just under the top edge.
  box.moveTopLeft(QPoint(hoverX_ + 8, plot.top() + 2));
  if (box.right() > plot.right()) {
    box.moveRight(hoverX_ - 8);
  }
  p.fillRect(box, palette().color(QPalette::ToolTipBase));
  p.setPen(palette().color(QPalette::ToolTipText));
  p.drawRect(box.adjusted(0, 0, -1, -1));
  p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace kv
