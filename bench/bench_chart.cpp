// The live chart over a week-long run (604,800 one-second points per series):
// one redraw into a 1400 x 600 image, the whole week in view and the newest
// hour in view. Each frame is one paint as the window would do it.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWheelEvent>
#include <cmath>
#include <memory>
#include <random>

#include "chart/min_max_decimation.h"
#include "chart/min_max_pyramid.h"
#include "week_chart.h"

namespace {

using kv::bench::kWeekSeconds;
using kv::bench::WeekChart;

void Redraw(benchmark::State& state, bool lastHourOnly) {
  static const std::unique_ptr<kv::RunChart> chart = WeekChart();
  chart->ShowAll();
  if (lastHourOnly) {
    // About 14 wheel steps in: from a week to roughly an hour.
    for (int i = 0; i < 23; ++i) {
      QWheelEvent e(QPointF(1300, 300), QPointF(1300, 300), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(chart.get(), &e);
    }
  }
  QImage image(chart->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    chart->render(&image);
    benchmark::DoNotOptimize(image.bits());
  }
  const auto [t0, t1] = chart->VisibleRange();
  state.counters["points"] = static_cast<double>(chart->PointCount());
  state.counters["shown_s"] = t1 - t0;
}

void BM_RedrawWholeWeek(benchmark::State& state) {
  Redraw(state, false);
}
void BM_RedrawNewestHour(benchmark::State& state) {
  Redraw(state, true);
}
// The decimation alone, one series of a week into 1336 columns.
void BM_DecimateWeek(benchmark::State& state) {
  std::vector<double> xs(kWeekSeconds);
  std::vector<float> ys(kWeekSeconds);
  for (int t = 0; t < kWeekSeconds; ++t) {
    xs[static_cast<std::size_t>(t)] = t;
    ys[static_cast<std::size_t>(t)] = static_cast<float>(std::sin(t / 1000.0));
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(kv::DecimateMinMax(xs, ys, 0, kWeekSeconds, 1336));
  }
}
// The same from the blocks the chart keeps as points arrive.
void BM_DecimateWeekFromBlocks(benchmark::State& state) {
  std::vector<double> xs(kWeekSeconds);
  std::vector<float> ys(kWeekSeconds);
  kv::MinMaxPyramid pyramid;
  for (int t = 0; t < kWeekSeconds; ++t) {
    xs[static_cast<std::size_t>(t)] = t;
    ys[static_cast<std::size_t>(t)] = static_cast<float>(std::sin(t / 1000.0));
    pyramid.Append(t, ys[static_cast<std::size_t>(t)]);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(pyramid.Decimate(xs, ys, 0, kWeekSeconds, 1336));
  }
}
BENCHMARK(BM_DecimateWeek)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecimateWeekFromBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawWholeWeek)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawNewestHour)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
