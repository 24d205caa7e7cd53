#include "ui/chart_view.h"

#include <algorithm>
#include <cmath>

namespace kv {

std::pair<double, double> ChartView::Range(double lastTime) const {
  const double last = finished_ && lastTime > 0 ? lastTime : std::max(lastTime, kEmptyRunSpan);
  if (span_ <= 0) {
    return {0.0, follow_ ? last : std::max(end_, last)};
  }
  const double end = follow_ ? std::max(lastTime, span_) : end_;
  return {end - span_, end};
}

void ChartView::SetFollow(bool follow, double lastTime) {
  if (follow == follow_) {
    return;
  }
  if (!follow) {
    end_ = Range(lastTime).second;
  }
  follow_ = follow;
}

void ChartView::ShowAll() {
  span_ = 0;
  follow_ = true;
}

void ChartView::Zoom(double steps, double fraction, double lastTime) {
  if (steps == 0) {
    return;
  }
  const auto [t0, t1] = Range(lastTime);
  const double limit = std::max(lastTime, kEmptyRunSpan) * 1.05;
  const double span = std::clamp((t1 - t0) * std::pow(0.8, steps), kMinSpanSeconds, limit);
  // The time under the cursor stays under the cursor.
  const double f = std::clamp(fraction, 0.0, 1.0);
  const double anchor = t0 + f * (t1 - t0);
  span_ = span;
  if (!follow_) {
    end_ = anchor + (1 - f) * span;
  }
}

void ChartView::BeginDrag(double lastTime) {
  const auto [t0, t1] = Range(lastTime);
  if (span_ <= 0) {
    span_ = t1 - t0;
  }
  dragEnd_ = t1;
}

void ChartView::DragBy(double widthFraction, double lastTime) {
  SetFollow(false, lastTime);
  end_ = dragEnd_ - widthFraction * span_;
}

}  // namespace kv
