#include "chart/chart_series.h"

#include <algorithm>
#include <limits>

namespace kv {

void ChartSeries::Clear() {
  times_.clear();
  for (auto& v : values_) {
    v.clear();
  }
  for (MinMaxPyramid& pyramid : pyramids_) {
    pyramid.Clear();
  }
  marks_.clear();
  verdicts_.clear();
}

bool ChartSeries::Push(double elapsedSeconds, float volts, float amps, float watts) {
  if (!times_.empty() && elapsedSeconds < times_.back()) {
    return false;
  }
  times_.push_back(elapsedSeconds);
  values_[0].push_back(volts);
  values_[1].push_back(amps);
  values_[2].push_back(watts);
  for (std::size_t s = 0; s < values_.size(); ++s) {
    pyramids_[s].Append(elapsedSeconds, values_[s].back());
  }
  return true;
}

bool ChartSeries::AddPoint(double elapsedSeconds, double volts, double amps, double watts) {
  // A reply such as "1E40" is past float's range, and converting it would be
  // undefined; held at the limit it still shows as off the scale.
  const auto plotted = [](double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
  };
  return Push(elapsedSeconds, plotted(volts), plotted(amps), plotted(watts));
}

bool ChartSeries::AddGap(double elapsedSeconds) {
  const float none = std::numeric_limits<float>::quiet_NaN();
  return Push(elapsedSeconds, none, none, none);
}

void ChartSeries::MarkStep(double elapsedSeconds, int stepNo, const QString& function) {
  marks_.push_back({elapsedSeconds, stepNo, function});
}

void ChartSeries::MarkVerdict(double elapsedSeconds, bool pass) {
  verdicts_.push_back({elapsedSeconds, pass});
}

}  // namespace kv
