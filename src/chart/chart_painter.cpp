#include "chart/chart_painter.h"

#include <QImage>
#include <QList>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "chart/chart_look.h"
#include "chart/chart_series.h"
#include "chart/min_max_decimation.h"
#include "chart/verdict_look.h"

namespace kv {

using namespace chart_look;  // NOLINT(google-build-using-namespace): the chart's own look

namespace {

void PaintPane(QPainter& p, const ChartSeries& series, const ChartFrame& frame, const ChartInk& ink,
               const QRect& pane, int s) {
  const SeriesLook& look = kSeries[static_cast<std::size_t>(s)];
  const std::vector<float>& ys = series.Values(s);
  const std::vector<MinMaxColumn> cols =
      series.Pyramid(s).Decimate(series.Times(), ys, frame.t0, frame.t1, pane.width());

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

  p.setPen(ink.mid);
  p.drawRect(pane.adjusted(0, 0, -1, -1));
  p.setPen(ink.text);
  // The labels name the extremes in view where they are drawn; the padding's
  // own edges are no values anyone measured.
  const int labelWidth = kLeftMargin - 6;
  const auto label = [&](float v) {
    const int y = static_cast<int>(std::lround(toY(v)));
    p.drawText(QRect(pane.left() - kLeftMargin, y - fm.height() / 2, labelWidth, fm.height()),
               Qt::AlignRight,
               FittedValueLabel(static_cast<double>(v), QLatin1String(look.unit), fm, labelWidth));
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
    title += (frame.finished ? QStringLiteral("  last %1") : QStringLiteral("  %1"))
                 .arg(static_cast<double>(ys.back()), 0, 'g', 6);
  }
  p.setPen(look.colour);
  p.drawText(pane.adjusted(6, 2, -6, -2), Qt::AlignTop | Qt::AlignLeft, title);
  if (!any) {
    return;
  }

  QList<QLineF> lines;
  QList<QRect> spans;
  spans.reserve(static_cast<qsizetype>(cols.size()));
  bool havePrevious = false;
  QPointF previous;
  std::size_t previousColumn = 0;
  for (std::size_t c = 0; c < cols.size(); ++c) {
    const MinMaxColumn& col = cols[c];
    if (col.count == 0) {
      continue;
    }
    const double x = pane.left() + static_cast<double>(c) + 0.5;
    const bool joined = havePrevious && !col.gapBefore;
    if (joined && previousColumn + 1 == c) {
      // Next to the previous column, the step from its last value is part of
      // this column's one stroke, filled as a one-pixel-wide rectangle: a
      // week in view costs a span a column, not a line to be stroked.
      const auto high = static_cast<int>(std::lround(std::min(previous.y(), toY(col.max))));
      const auto low = static_cast<int>(std::lround(std::max(previous.y(), toY(col.min))));
      spans.append(QRect(pane.left() + static_cast<int>(c), high, 1, low - high + 1));
    } else {
      if (joined) {
        lines.append(QLineF(previous, QPointF(x, toY(col.first))));
      }
      if (col.count > 1 || (col.gapBefore && havePrevious)) {
        // A lone point after a gap still shows, as a dot-sized stroke.
        lines.append(QLineF(x, toY(col.min), x, toY(col.max) - (col.count > 1 ? 0 : 1)));
      }
    }
    previous = QPointF(x, toY(col.last));
    previousColumn = c;
    havePrevious = true;
  }
  p.save();
  p.setClipRect(pane);
  p.setPen(Qt::NoPen);
  p.setBrush(look.colour);
  p.drawRects(spans);
  p.setPen(QPen(look.colour, 1));
  if (lines.isEmpty() && spans.isEmpty()) {
    p.drawPoint(previous);
  } else {
    p.drawLines(lines);
  }
  p.restore();
}

void PaintMarks(QPainter& p, const ChartSeries& series, const ChartFrame& frame,
                const ChartInk& ink) {
  const QRect& plot = frame.plot;
  const double xScale = plot.width() / (frame.t1 - frame.t0);
  const QFontMetrics fm = p.fontMetrics();
  const std::vector<ChartSeries::Mark>& marks = series.Marks();
  const auto first = std::lower_bound(marks.begin(), marks.end(), frame.t0,
                                      [](const ChartSeries::Mark& m, double t) { return m.t < t; });
  // A week of short steps puts many marks on one pixel column: each column
  // is drawn once, and a label is only formatted and measured where the
  // previous one leaves room (measuring text is what a crowded view costs).
  QList<int> columns;
  QList<std::pair<QPoint, QString>> labels;
  int lastLabelRight = plot.left() - 1000;
  for (auto it = first; it != marks.end() && it->t < frame.t1; ++it) {
    const int x = plot.left() + static_cast<int>((it->t - frame.t0) * xScale);
    if (columns.isEmpty() || columns.constLast() != x) {
      columns.append(x);
    }
    if (x <= lastLabelRight + 4) {
      continue;
    }
    // Steps closer together than their labels show only the first label.
    QString label = QStringLiteral("%1 %2").arg(it->stepNo).arg(it->function);
    const int half = fm.horizontalAdvance(label) / 2;
    if (x - half > lastLabelRight + 4) {
      labels.append({QPoint(x - half, plot.top() - 4), std::move(label)});
      lastLabelRight = x + half;
    }
  }
  const QPaintEngine* engine = p.paintEngine();
  if (engine != nullptr && engine->type() == QPaintEngine::Raster) {
    // On a screen a dashed pen tests every pixel against its pattern (4 on,
    // 2 off); one dashed column made once is copied to each mark instead. A
    // page keeps its vector lines.
    QImage dashes(1, plot.height(), QImage::Format_ARGB32_Premultiplied);
    dashes.fill(Qt::transparent);
    for (int y = 0; y < plot.height(); ++y) {
      if (y % 6 < 4) {
        dashes.setPixelColor(0, y, ink.dark);
      }
    }
    for (const int x : columns) {
      p.drawImage(x, plot.top(), dashes);
    }
  } else {
    p.setPen(QPen(ink.dark, 1, Qt::DashLine));
    for (const int x : columns) {
      p.drawLine(x, plot.top(), x, plot.bottom());
    }
  }
  p.setPen(ink.text);
  for (const auto& [at, label] : labels) {
    p.drawText(at, label);
  }
}

void PaintTimeAxis(QPainter& p, const ChartFrame& frame, const ChartInk& ink) {
  const QRect& plot = frame.plot;
  const double xScale = plot.width() / (frame.t1 - frame.t0);
  const QFontMetrics fm = p.fontMetrics();
  const double step =
      NiceTimeStep((fm.horizontalAdvance(QStringLiteral("00d 00:00")) + 24) / xScale);
  QColor grid = ink.mid;
  grid.setAlpha(60);
  p.setPen(ink.text);
  p.drawText(QRect(plot.left(), plot.bottom() + 6 + fm.height(), plot.width(), fm.height()),
             Qt::AlignRight, QStringLiteral("time since Start (h:mm:ss)"));
  for (double t = std::ceil(frame.t0 / step) * step; t <= frame.t1; t += step) {
    const int x = plot.left() + static_cast<int>((t - frame.t0) * xScale);
    p.setPen(grid);
    p.drawLine(x, plot.top(), x, plot.bottom());
    p.setPen(ink.text);
    p.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
    const QString text = ElapsedText(t);
    p.drawText(x - fm.horizontalAdvance(text) / 2, plot.bottom() + 4 + fm.ascent(), text);
  }
}

void PaintVerdicts(QPainter& p, const ChartSeries& series, const ChartFrame& frame) {
  const QRect& plot = frame.plot;
  const double xScale = plot.width() / (frame.t1 - frame.t0);
  const QFontMetrics fm = p.fontMetrics();
  for (const ChartSeries::Verdict& v : series.Verdicts()) {
    if (v.t < frame.t0 || v.t > frame.t1) {
      continue;
    }
    const int x = plot.left() + static_cast<int>((v.t - frame.t0) * xScale);
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

}  // namespace

QString FittedValueLabel(double value, QLatin1String unit, const QFontMetrics& fm, int width) {
  // Right-aligned text too wide for its margin is cut at its left, which
  // drops the sign and the leading digits: "-0.007436 A" would read
  // "007436 A". Fewer digits first; past two, the end is cut, visibly.
  QString text;
  for (int digits = 4; digits >= 2; --digits) {
    text = QStringLiteral("%1 %2").arg(value, 0, 'g', digits).arg(unit);
    if (fm.horizontalAdvance(text) <= width) {
      return text;
    }
  }
  return fm.elidedText(text, Qt::ElideRight, width);
}

void PaintChart(QPainter& p, const ChartSeries& series, const ChartFrame& frame,
                const ChartInk& ink) {
  const QRect& plot = frame.plot;
  if (plot.width() < 2 || plot.height() < 3 * 10 || frame.t1 <= frame.t0) {
    return;
  }
  PaintTimeAxis(p, frame, ink);
  const int paneHeight = (plot.height() - 2 * kPaneGap) / 3;
  for (int s = 0; s < 3; ++s) {
    const QRect pane(plot.left(), plot.top() + s * (paneHeight + kPaneGap), plot.width(),
                     paneHeight);
    PaintPane(p, series, frame, ink, pane, s);
  }
  PaintMarks(p, series, frame, ink);
  PaintVerdicts(p, series, frame);
}

}  // namespace kv
