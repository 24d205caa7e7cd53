// The run chart's painting: the panes with their traces and value labels,
// the time axis, the step marks and the read-out under the mouse.
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/min_max_decimation.h"
#include "ui/run_chart.h"
#include "ui/run_chart_look.h"
#include "ui/verdict_look.h"

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
  PaintTimeAxis(p, plot, t0, t1);
  const int paneHeight = (plot.height() - 2 * kPaneGap) / 3;
  for (int s = 0; s < 3; ++s) {
    const QRect pane(plot.left(), plot.top() + s * (paneHeight + kPaneGap), plot.width(),
                     paneHeight);
    PaintPane(p, pane, s, t0, t1);
  }
  PaintMarks(p, plot, t0, t1);
  PaintVerdicts(p, plot, t0, t1);
  PaintReadOut(p, plot, t0, t1);
}

QString RunChart::ReadOut(double elapsedSeconds) const {
  if (times_.empty()) {
    return {};
  }
  // The nearest point, of the two around the time.
  const auto after = std::lower_bound(times_.begin(), times_.end(), elapsedSeconds);
  auto at = after == times_.end() ? after - 1 : after;
  if (at != times_.begin() && elapsedSeconds - *(at - 1) < *at - elapsedSeconds) {
    --at;
  }
  const auto k = static_cast<std::size_t>(at - times_.begin());
  const auto cell = [&](int series, const char* unit) {
    const float v = values_[static_cast<std::size_t>(series)][k];
    return std::isfinite(v) ? QStringLiteral("%1 %2")
                                  .arg(static_cast<double>(v), 0, 'g', 6)
                                  .arg(QLatin1String(unit))
                            : QStringLiteral("no measurement");
  };
  QString text = QStringLiteral("%1   %2   %3   %4")
                     .arg(ElapsedText(*at), cell(0, "V"), cell(1, "A"), cell(2, "W"));
  const auto mark = std::upper_bound(marks_.begin(), marks_.end(), *at,
                                     [](double t, const Mark& m) { return t < m.t; });
  if (mark != marks_.begin()) {
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

void RunChart::PaintPane(QPainter& p, const QRect& pane, int series, double t0, double t1) {
  const SeriesLook& look = kSeries[static_cast<std::size_t>(series)];
  const std::vector<float>& ys = values_[static_cast<std::size_t>(series)];
  const std::vector<MinMaxColumn> cols =
      pyramids_[static_cast<std::size_t>(series)].Decimate(times_, ys, t0, t1, pane.width());

  float lo = 0;
  float hi = 0;
  bool any = false;
  for (const MinMaxColumn& c : cols) {
    if (c.count != 0) {
      lo = any ? std::min(lo, c.min) : c.min;
      hi = any ? std::max(hi, c.max) : c.max;
      any = true;
    }
  }
  // A flat line sits in the middle of its pane rather than on an edge.
  const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(std::abs(hi) * 0.05, 0.5);
  const double bottom = lo - pad;
  const double top = hi + pad;
  const QFontMetrics fm = p.fontMetrics();
  // The trace keeps clear of the pane's title line.
  const QRect area = pane.adjusted(0, fm.height() + 4, 0, -2);
  const double yScale = area.height() / (top - bottom);
  auto toY = [&](float v) { return area.bottom() - (v - bottom) * yScale; };

  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(pane.adjusted(0, 0, -1, -1));
  p.setPen(palette().color(QPalette::Text));
  // The labels name the extremes in view where they are drawn; the padding's
  // own edges are no values anyone measured.
  const int labelWidth = kLeftMargin - 6;
  const auto label = [&](float v) {
    const int y = static_cast<int>(std::lround(toY(v)));
    p.drawText(QRect(0, y - fm.height() / 2, labelWidth, fm.height()), Qt::AlignRight,
               QStringLiteral("%1 %2")
                   .arg(static_cast<double>(v), 0, 'g', 4)
                   .arg(QLatin1String(look.unit)));
  };
  if (any) {
    label(hi);
    if (hi > lo) {
      label(lo);
    }
  }
  QString title = QStringLiteral("%1 (%2)").arg(QLatin1String(look.name), QLatin1String(look.unit));
  if (!ys.empty() && std::isfinite(ys.back())) {
    // Once the run is over the newest value is the last one, not a live one.
    title += (view_.Finished() ? QStringLiteral("  last %1") : QStringLiteral("  %1"))
                 .arg(static_cast<double>(ys.back()), 0, 'g', 6);
  }
  p.setPen(look.colour);
  p.drawText(pane.adjusted(6, 2, -6, -2), Qt::AlignTop | Qt::AlignLeft, title);
  if (!any) {
    return;
  }

  QList<QLineF> lines;
  lines.reserve(static_cast<qsizetype>(cols.size()) * 2);
  bool havePrevious = false;
  QPointF previous;
  for (std::size_t c = 0; c < cols.size(); ++c) {
    const MinMaxColumn& col = cols[c];
    if (col.count == 0) {
      continue;
    }
    const double x = pane.left() + static_cast<double>(c) + 0.5;
    if (havePrevious && !col.gapBefore) {
      lines.append(QLineF(previous, QPointF(x, toY(col.first))));
    }
    if (col.count > 1 || (col.gapBefore && havePrevious)) {
      // A lone point after a gap still shows, as a dot-sized stroke.
      lines.append(QLineF(x, toY(col.min), x, toY(col.max) - (col.count > 1 ? 0 : 1)));
    }
    previous = QPointF(x, toY(col.last));
    havePrevious = true;
  }
  p.save();
  p.setClipRect(pane);
  p.setPen(QPen(look.colour, 1));
  if (lines.isEmpty()) {
    p.drawPoint(previous);
  } else {
    p.drawLines(lines);
  }
  p.restore();
}

void RunChart::PaintMarks(QPainter& p, const QRect& plot, double t0, double t1) {
  const double xScale = plot.width() / (t1 - t0);
  QPen pen(palette().color(QPalette::Dark), 1, Qt::DashLine);
  const QFontMetrics fm = p.fontMetrics();
  int lastLabelRight = plot.left() - 1000;
  const auto first = std::lower_bound(marks_.begin(), marks_.end(), t0,
                                      [](const Mark& m, double t) { return m.t < t; });
  for (auto it = first; it != marks_.end() && it->t < t1; ++it) {
    const int x = plot.left() + static_cast<int>((it->t - t0) * xScale);
    p.setPen(pen);
    p.drawLine(x, plot.top(), x, plot.bottom());
    // Steps closer together than their labels show only the first label.
    const QString label = QStringLiteral("%1 %2").arg(it->stepNo).arg(it->function);
    if (x - fm.horizontalAdvance(label) / 2 > lastLabelRight + 4) {
      p.setPen(palette().color(QPalette::Text));
      p.drawText(x - fm.horizontalAdvance(label) / 2, plot.top() - 4, label);
      lastLabelRight = x + fm.horizontalAdvance(label) / 2;
    }
  }
}

void RunChart::PaintTimeAxis(QPainter& p, const QRect& plot, double t0, double t1) {
  const double xScale = plot.width() / (t1 - t0);
  const QFontMetrics fm = p.fontMetrics();
  const double step =
      NiceTimeStep((fm.horizontalAdvance(QStringLiteral("00d 00:00")) + 24) / xScale);
  QColor grid = palette().color(QPalette::Mid);
  grid.setAlpha(60);
  p.setPen(palette().color(QPalette::Text));
  p.drawText(QRect(plot.left(), plot.bottom() + 6 + fm.height(), plot.width(), fm.height()),
             Qt::AlignRight, QStringLiteral("time since Start (h:mm:ss)"));
  for (double t = std::ceil(t0 / step) * step; t <= t1; t += step) {
    const int x = plot.left() + static_cast<int>((t - t0) * xScale);
    p.setPen(grid);
    p.drawLine(x, plot.top(), x, plot.bottom());
    p.setPen(palette().color(QPalette::Text));
    p.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
    const QString text = ElapsedText(t);
    p.drawText(x - fm.horizontalAdvance(text) / 2, plot.bottom() + 4 + fm.ascent(), text);
  }
}

void RunChart::PaintVerdicts(QPainter& p, const QRect& plot, double t0, double t1) {
  const double xScale = plot.width() / (t1 - t0);
  const QFontMetrics fm = p.fontMetrics();
  for (const Verdict& v : verdicts_) {
    if (v.t < t0 || v.t > t1) {
      continue;
    }
    const int x = plot.left() + static_cast<int>((v.t - t0) * xScale);
    const QString text = QLatin1String(v.pass ? kPassText.data() : kFailText.data());
    QRect tag(0, 0, fm.horizontalAdvance(text) + 8, fm.height() + 2);
    // Just inside the voltage pane, left of the moment the load gave it.
    tag.moveTopRight(QPoint(x - 2, plot.top() + fm.height() + 6));
    p.setPen(QPen(VerdictInk(v.pass), 2));
    p.drawLine(x, plot.top(), x, plot.bottom());
    p.fillRect(tag, VerdictInk(v.pass));
    p.setPen(Qt::white);
    p.drawText(tag, Qt::AlignCenter, text);
  }
}

}  // namespace kv
