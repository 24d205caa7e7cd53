#pragma once
// The points of a run's chart: voltage, current and power against the
// seconds since the run started, the steps' starts and the load's verdicts.
// Compact arrays (about 20 bytes a point) with a min/max pyramid per series,
// so that a week-long run draws from blocks rather than point by point.

#include <QString>
#include <array>
#include <vector>

#include "chart/min_max_pyramid.h"

namespace kv {

class ChartSeries {
 public:
  struct Mark {
    double t;
    int stepNo;
    QString function;
  };
  struct Verdict {
    double t;
    bool pass;
  };

  void Clear();
  /// One measurement; false when it was dropped because its time lies before
  /// the previous point's (the arrays stay sorted).
  bool AddPoint(double elapsedSeconds, double volts, double amps, double watts);
  /// A tick without a measurement: the traces break here.
  bool AddGap(double elapsedSeconds);
  void MarkStep(double elapsedSeconds, int stepNo, const QString& function);
  void MarkVerdict(double elapsedSeconds, bool pass);

  const std::vector<double>& Times() const { return times_; }
  /// Series 0 volts, 1 amps, 2 watts.
  const std::vector<float>& Values(int series) const {
    return values_[static_cast<std::size_t>(series)];
  }
  const MinMaxPyramid& Pyramid(int series) const {
    return pyramids_[static_cast<std::size_t>(series)];
  }
  const std::vector<Mark>& Marks() const { return marks_; }
  const std::vector<Verdict>& Verdicts() const { return verdicts_; }
  double LastTime() const { return times_.empty() ? 0.0 : times_.back(); }

 private:
  bool Push(double elapsedSeconds, float volts, float amps, float watts);

  std::vector<double> times_;
  std::array<std::vector<float>, 3> values_;
  std::array<MinMaxPyramid, 3> pyramids_;
  std::vector<Mark> marks_;
  std::vector<Verdict> verdicts_;
};

}  // namespace kv
