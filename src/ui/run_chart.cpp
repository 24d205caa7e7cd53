#include "ui/run_chart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/min_max_decimation.h"

namespace kv {

namespace {

// Below this the view would show less than one second per few pixels of
// nothing; above the data there is nothing to see.
constexpr double kMinSpanSeconds = 10;
constexpr double kEmptyRunSpan = 60;
constexpr int kLeftMargin = 64;
constexpr int kRightMargin = 12;
constexpr int kTopMargin = 34;  // room for the Follow button and step numbers
constexpr int kBottomMargin = 22;
constexpr int kPaneGap = 8;

struct SeriesLook {
  const char* name;
  const char* unit;
  QColor colour;
};
const std::array<SeriesLook, 3> kSeries{{{"Voltage", "V", QColor(0x1f, 0x6f, 0xc0)},
                                         {"Current", "A", QColor(0xc0, 0x3a, 0x1f)},
                                         {"Power", "W", QColor(0x2e, 0x8b, 0x3a)}}};

QString ElapsedText(double seconds) {
  const auto s = static_cast<long long>(std::llround(seconds));
  if (s >= 86400) {
    return QStringLiteral("%1d %2:%3")
        .arg(s / 86400)
        .arg((s / 3600) % 24, 2, 10, QLatin1Char('0'))
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'));
  }
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A tick step from a list people read easily, at least `minSeconds` wide.
double NiceTimeStep(double minSeconds) {
  static constexpr std::array<double, 19> kSteps{1,     2,     5,     10,    15,    30,   60,
                                                 120,   300,   600,   900,   1800,  3600, 7200,
                                                 10800, 21600, 43200, 86400, 172800};
  for (double step : kSteps) {
    if (step >= minSeconds) {
      return step;
    }
  }
  return std::ceil(minSeconds / 86400) * 86400;
}

}  // namespace

RunChart::RunChart(QWidget* parent) : QWidget(parent), followButton_(new QPushButton(this)) {
  setObjectName(QStringLiteral("RunChart"));
  setMinimumSize(320, 240);
  setAttribute(Qt::WA_OpaquePaintEvent);
  followButton_->setObjectName(QStringLiteral("FollowButton"));
  followButton_->setText(QStringLiteral("Follow"));
  followButton_->setCheckable(true);
  followButton_->setChecked(true);
  followButton_->setToolTip(QStringLiteral("Keep the newest data in view"));
  connect(followButton_, &QPushButton::toggled, this, &RunChart::SetFollow);
}

void RunChart::Clear() {
  times_.clear();
  for (auto& v : values_) {
    v.clear();
  }
  marks_.clear();
  finished_ = false;
  ShowAll();
}

void RunChart::Finish() {
  finished_ = true;
  update();
}

void RunChart::AddPoint(double elapsedSeconds, double volts, double amps, double watts) {
  if (!times_.empty() && elapsedSeconds < times_.back()) {
    return;
  }
  // A reply such as "1E40" is past float's range, and converting it would be
  // undefined; held at the limit it still shows as off the scale.
  const auto plotted = [](double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
  };
  times_.push_back(elapsedSeconds);
  values_[0].push_back(plotted(volts));
  values_[1].push_back(plotted(amps));
  values_[2].push_back(plotted(watts));
  // A point outside a view the operator has moved away from changes nothing.
  if (follow_ || elapsedSeconds < VisibleRange().second) {
    update();
  }
}

void RunChart::MarkStep(double elapsedSeconds, int stepNo) {
  marks_.push_back({elapsedSeconds, stepNo});
  update();
}

std::pair<double, double> RunChart::VisibleRange() const {
  // A run that goes on keeps room for what comes; one that ended fills the width.
  const double last =
      finished_ && LastTime() > 0 ? LastTime() : std::max(LastTime(), kEmptyRunSpan);
  if (span_ <= 0) {
    return {0.0, follow_ ? last : std::max(end_, last)};
  }
  const double end = follow_ ? std::max(LastTime(), span_) : end_;
  return {end - span_, end};
}

void RunChart::SetFollow(bool follow) {
  if (follow == follow_) {
    return;
  }
  if (!follow) {
    end_ = VisibleRange().second;
  }
  follow_ = follow;
  followButton_->setChecked(follow);
  update();
}

void RunChart::ShowAll() {
  span_ = 0;
  SetFollow(true);
  update();
}

QRect RunChart::PlotRect() const {
  return rect().adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

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
}

void RunChart::PaintPane(QPainter& p, const QRect& pane, int series, double t0, double t1) {
  const SeriesLook& look = kSeries[static_cast<std::size_t>(series)];
  const std::vector<float>& ys = values_[static_cast<std::size_t>(series)];
  const std::vector<MinMaxColumn> cols = DecimateMinMax(times_, ys, t0, t1, pane.width());

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
               QString::number(static_cast<double>(v), 'g', 4));
  };
  if (any) {
    label(hi);
    if (hi > lo) {
      label(lo);
    }
  }
  QString title = QStringLiteral("%1 (%2)").arg(QLatin1String(look.name), QLatin1String(look.unit));
  if (!ys.empty()) {
    title += QStringLiteral("  %1").arg(static_cast<double>(ys.back()), 0, 'g', 6);
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
    if (havePrevious) {
      lines.append(QLineF(previous, QPointF(x, toY(col.first))));
    }
    if (col.count > 1) {
      lines.append(QLineF(x, toY(col.min), x, toY(col.max)));
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
    const QString label = QString::number(it->stepNo);
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

void RunChart::wheelEvent(QWheelEvent* event) {
  const QRect plot = PlotRect();
  const auto [t0, t1] = VisibleRange();
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0 || plot.width() < 2) {
    return;
  }
  const double limit = std::max(LastTime(), kEmptyRunSpan) * 1.05;
  const double span = std::clamp((t1 - t0) * std::pow(0.8, steps), kMinSpanSeconds, limit);
  // The time under the cursor stays under the cursor.
  const double fraction =
      std::clamp((event->position().x() - plot.left()) / plot.width(), 0.0, 1.0);
  const double anchor = t0 + fraction * (t1 - t0);
  span_ = span;
  if (!follow_) {
    end_ = anchor + (1 - fraction) * span;
  }
  update();
  event->accept();
}

void RunChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragX_ = static_cast<int>(event->position().x());
    const auto [t0, t1] = VisibleRange();
    if (span_ <= 0) {
      span_ = t1 - t0;
    }
    dragEnd_ = t1;
  }
}

void RunChart::mouseMoveEvent(QMouseEvent* event) {
  const QRect plot = PlotRect();
  if (!dragging_ || plot.width() < 2) {
    return;
  }
  const double dx = event->position().x() - dragX_;
  if (std::abs(dx) < 2 && follow_) {
    return;  // a click, not a drag: keep following
  }
  SetFollow(false);
  end_ = dragEnd_ - dx * span_ / plot.width();
  update();
}

void RunChart::mouseReleaseEvent(QMouseEvent*) {
  dragging_ = false;
}

void RunChart::mouseDoubleClickEvent(QMouseEvent*) {
  ShowAll();
}

void RunChart::resizeEvent(QResizeEvent*) {
  followButton_->adjustSize();
  followButton_->move(width() - kRightMargin - followButton_->width(), 4);
}

}  // namespace kv
