#pragma once
// A live chart holding a week-long run: 604,800 one-second points per series.

#include <memory>
#include <random>

#include "ui/run_chart.h"

namespace kv::bench {

inline constexpr int kWeekSeconds = 7 * 24 * 3600;

// A battery cycled through discharge steps of two hours, with measurement noise.
inline std::unique_ptr<kv::RunChart> WeekChart() {
  auto chart = std::make_unique<kv::RunChart>();
  chart->resize(1400, 600);
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, 0.002);
  for (int t = 0; t < kWeekSeconds; ++t) {
    const int step = t / 7200;
    if (t % 7200 == 0) {
      chart->MarkStep(t, step + 1,
                      step % 3 == 2 ? QStringLiteral("Rest") : QStringLiteral("Discharge"));
    }
    const double phase = (t % 7200) / 7200.0;
    const double amps = step % 3 == 2 ? 0.0 : 1.0 + 0.5 * (step % 2);
    const double volts = 12.6 - 1.6 * phase * phase + noise(random);
    chart->AddPoint(t, volts, amps + noise(random), volts * amps);
  }
  return chart;
}

}  // namespace kv::bench
