// The chart's min/max decimation, and the chart's view as an operator moves it.
#include "ui/run_chart.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <tuple>

#include "chart/chart_painter.h"
#include "chart/min_max_decimation.h"
#include "chart/min_max_pyramid.h"
#include "chart/verdict_look.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "support/scripted_instrument.h"
#include "ui/chart_view.h"
#include "ui/result_log_model.h"
#include "ui/run_chart_feed.h"
#include "ui/run_summary_model.h"

namespace kv {
namespace {

// Each column as "count:first,last,min,max", an empty one as "-", one after
// a gap with a "|" before it.
std::string Columns(const std::vector<MinMaxColumn>& columns) {
  std::ostringstream out;
  for (const MinMaxColumn& m : columns) {
    out << (m.gapBefore ? " |" : " ");
    if (m.count == 0) {
      out << '-';
    } else {
      out << m.count << ':' << m.first << ',' << m.last << ',' << m.min << ',' << m.max;
    }
  }
  return out.str();
}

TEST(MinMaxDecimation, KeepsFirstLastAndExtremesOfEachColumn) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    std::vector<double> xs;
    std::vector<float> ys;
    double x0, x1;
    int columns;
    const char* expected;
  };
  const std::vector<Case> cases{
      {"one point a column", {0, 1, 2}, {5, 6, 7}, 0, 3, 3, " 1:5,5,5,5 1:6,6,6,6 1:7,7,7,7"},
      {"spike inside a column survives", {0, 1, 2, 3}, {1, 9, -4, 2}, 0, 4, 1, " 4:1,2,-4,9"},
      // The newest point of a view that ends at it is drawn.
      {"x0 and x1 in", {-1, 0, 1.5, 2, 3}, {9, 1, 2, 7, 9}, 0, 2, 2, " 1:1,1,1,1 2:2,7,2,7"},
      {"a gap breaks the line", {0, 1, 2}, {1, nan, 2}, 0, 2, 2, " 1:1,1,1,1 |1:2,2,2,2"},
      {"an empty column stays empty", {0, 2.5}, {1, 2}, 0, 3, 3, " 1:1,1,1,1 - 1:2,2,2,2"},
      {"a value that is no number is left out", {0, 1, 2}, {3, nan, 1}, 0, 3, 1, " 2:3,1,1,3"},
      {"just below x1", {0, 0.9999999999999999}, {1, 2}, 0, 1, 7, " 1:1,1,1,1 - - - - - 1:2,2,2,2"},
      {"no width, no columns", {0, 1}, {1, 2}, 1, 1, 4, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Columns(DecimateMinMax(c.xs, c.ys, c.x0, c.x1, c.columns)), c.expected) << c.name;
  }
}

// Blocks of points stand in for the points only where that changes no column:
// pauses in time, runs of gaps and views that cut blocks give the same columns.
TEST(MinMaxPyramid, DrawsTheColumnsOfEveryPoint) {
  std::mt19937 random(7);
  std::vector<double> xs;
  std::vector<float> ys;
  MinMaxPyramid pyramid;
  double x = 0;
  for (int gapLeft = 0; xs.size() < 40000;) {
    x += random() % 50 == 0 ? 30.0 : 1.0;
    gapLeft = gapLeft > 0          ? gapLeft - 1
              : random() % 20 == 0 ? static_cast<int>(random() % 6) + 1
                                   : 0;
    xs.push_back(x);
    ys.push_back(gapLeft > 0 ? std::numeric_limits<float>::quiet_NaN()
                             : static_cast<float>(random() % 1000) / 10.0f);
    pyramid.Append(xs.back(), ys.back());
  }
  for (const auto& [x0, x1, columns] : {std::tuple{0.0, x, 800},
                                        {x / 3, x / 2, 333},
                                        {100.5, 220.25, 1000},
                                        {x - 5000, x + 10, 640}}) {
    EXPECT_EQ(Columns(pyramid.Decimate(xs, ys, x0, x1, columns)),
              Columns(DecimateMinMax(xs, ys, x0, x1, columns)))
        << x0 << ".." << x1;
  }
}

// A value label cut at its left would lose its sign: "-0.007436 A" read as
// "007436 A".
TEST(FittedValueLabel, ShortensThenElidesButKeepsTheSign) {
  const QFontMetrics fm{QFont()};
  const auto fits = [&](const char* text) { return fm.horizontalAdvance(QLatin1String(text)); };
  const QLatin1String amps("A");
  EXPECT_EQ(FittedValueLabel(12.61, QLatin1String("V"), fm, fits("12.61 V")), "12.61 V");
  EXPECT_EQ(FittedValueLabel(-0.00743615, amps, fm, fits("-0.007436 A")), "-0.007436 A");
  EXPECT_EQ(FittedValueLabel(-0.00743615, amps, fm, fits("-0.00744 A")), "-0.00744 A");
  EXPECT_EQ(FittedValueLabel(-0.00743615, amps, fm, fits("-0.0074 A")), "-0.0074 A");
  const QString elided = FittedValueLabel(-0.00743615, amps, fm, fits("-0.007"));
  EXPECT_TRUE(elided.startsWith(QLatin1String("-0."))) << elided.toStdString();
  EXPECT_LE(fm.horizontalAdvance(elided), fits("-0.007"));
}

TestStep Row(const char* function, int col, const char* text) {
  TestStep step;
  step[kColFunction] = function;
  step[col] = text;
  return step;
}

void Wheel(QWidget& w, int x, int delta) {
  QWheelEvent e(QPointF(x, 100), w.mapToGlobal(QPointF(x, 100)), QPoint(), QPoint(0, delta),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &e);
}

void Mouse(QWidget& w, QEvent::Type type, int x, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(x, 100), w.mapToGlobal(QPointF(x, 100)),
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

// The widget's wiring; the view's arithmetic is ChartView's test.
TEST(RunChart, FollowsTheNewestDataUntilDraggedAndDrawsEachSeries) {
  RunChart chart;
  chart.resize(800, 500);
  for (int t = 0; t <= 600; ++t) {
    chart.AddPoint(t, 12.0 - t / 600.0, 1.0, (12.0 - t / 600.0) * 1.0);
  }
  chart.MarkStep(0, 1, QStringLiteral("Discharge"));
  chart.AddPoint(100, 0, 0, 0);  // back in time: dropped
  EXPECT_EQ(chart.PointCount(), 601u);
  Wheel(chart, 400, 240);
  EXPECT_LT(chart.VisibleRange().second - chart.VisibleRange().first, 600.0);
  Mouse(chart, QEvent::MouseButtonPress, 400, Qt::LeftButton);
  Mouse(chart, QEvent::MouseMove, 500, Qt::LeftButton);  // drag right: back in time
  Mouse(chart, QEvent::MouseButtonRelease, 500, Qt::NoButton);
  EXPECT_FALSE(chart.IsFollowing());
  EXPECT_LT(chart.VisibleRange().second, 600.0);
  chart.findChild<QPushButton*>(QStringLiteral("FollowButton"))->click();
  EXPECT_TRUE(chart.IsFollowing());
  EXPECT_DOUBLE_EQ(chart.VisibleRange().second, 600.0);

  // Each pane holds a trace in its own colour.
  QImage image(chart.size(), QImage::Format_RGB32);
  chart.render(&image);
  for (const QColor colour :
       {QColor(0x1f, 0x6f, 0xc0), QColor(0xc0, 0x3a, 0x1f), QColor(0x2e, 0x8b, 0x3a)}) {
    int pixels = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        pixels += image.pixelColor(x, y) == colour ? 1 : 0;
      }
    }
    EXPECT_GT(pixels, 300) << colour.name().toStdString();
  }
}

// The view alone: whole run, zoom around a point, drag, follow.
TEST(ChartView, RangeAsTheOperatorMovesIt) {
  using Range = std::pair<double, double>;
  ChartView v;
  EXPECT_EQ(v.Range(0), Range(0, 60));     // room for what comes
  EXPECT_EQ(v.Range(600), Range(0, 600));  // the whole run, newest at the right
  v.Zoom(5, 0.5, 600);                     // closer, following: the end stays
  const Range zoomed = v.Range(600);
  EXPECT_DOUBLE_EQ(zoomed.second, 600);
  EXPECT_NEAR(zoomed.second - zoomed.first, 600 * std::pow(0.8, 5), 1e-9);
  EXPECT_DOUBLE_EQ(v.Range(700).second, 700);  // new data comes into view
  v.BeginDrag(700);
  v.DragBy(0.5, 700);  // half a width to the right: back in time
  EXPECT_FALSE(v.Following());
  const Range dragged = v.Range(700);
  EXPECT_NEAR(dragged.second, 700 - (zoomed.second - zoomed.first) / 2, 1e-9);
  EXPECT_EQ(v.Range(800), dragged);  // a moved view stays put
  v.Zoom(-100, 0, 800);              // out as far as it goes: a little past the run
  EXPECT_NEAR(v.Range(800).second - v.Range(800).first, 840, 1e-9);
  v.Zoom(100, 1, 800);  // in as far as it goes
  EXPECT_NEAR(v.Range(800).second - v.Range(800).first, ChartView::kMinSpanSeconds, 1e-9);
  v.ShowAll();
  v.SetFinished(true);
  EXPECT_EQ(v.Range(30), Range(0, 30));  // a short run that ended fills the width
}

// What the operator reads under the mouse, gaps and the file it saves.
TEST(RunChart, ReadsOutThePointNearestTheMouseAndSavesAPicture) {
  RunChart chart;
  chart.resize(800, 500);
  chart.MarkStep(0, 2, QStringLiteral("Discharge"));
  chart.AddPoint(1, 4.15, 1, 4.15);
  chart.AddGap(2);
  chart.AddPoint(3, 1e40, 1, 4.1);  // past float: held at its limit
  EXPECT_EQ(chart.ReadOut(1.4),
            QStringLiteral("0:00:01   4.15 V   1 A   4.15 W   step 2 Discharge"));
  EXPECT_EQ(chart.ReadOut(2.2), QStringLiteral("0:00:02   no measurement   no measurement   "
                                               "no measurement   step 2 Discharge"));
  EXPECT_THAT(chart.ReadOut(9).toStdString(), ::testing::HasSubstr("3.40282e+38 V"));
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("chart.png"));
  ASSERT_TRUE(chart.SaveAsPng(png));
  EXPECT_EQ(QImage(png).size(), chart.size());
  EXPECT_FALSE(chart.SaveAsPng(dir.filePath(QStringLiteral("no/such/folder.png"))));
}

// A run as the chart gets it: marks only where a step runs (not at FOR or
// LOOP), the verdict as a tag and not as a point, a gap where nothing was
// measured; the log and the summary colour the verdict.
TEST(RunChartFeed, MarksStepsThatRunVerdictsAndGaps) {
  test::ScriptedInstrument load;
  load.Reply("name?", "KV-G100");
  load.ReplySequence("MEAS:VC?", {"12,1", "ErrRec"});
  load.Reply("TESTING?", "0");
  load.Reply("NG?", "0");
  load.Reply("OCP?", "5");
  Station station(load);
  station.Steps().AssignSteps(
      {Row("FOR", kColTimes, "2"), Row("OCP", kColLimitHigh, "10"), Row("LOOP", kColStepNo, "3")});
  RunChart chart;
  RunChartFeed feed(station, chart);
  ResultLogModel log(station.Log());
  RunSummaryModel summary(station);
  QSignalSpy ended(&station, &Station::runEnded);
  station.Run();
  ASSERT_TRUE(ended.wait(8000));
  // Two passes of the OCP step: a measurement, then none; a PASS each time.
  EXPECT_EQ(chart.PointCount(), 2u);
  EXPECT_EQ(chart.VerdictCount(), 2u);
  EXPECT_EQ(chart.MarkCount(), 2u);
  EXPECT_THAT(chart.ReadOut(0).toStdString(), ::testing::EndsWith("step 2 OCP"));
  EXPECT_THAT(chart.ReadOut(1e9).toStdString(), ::testing::HasSubstr("no measurement"));
  const QColor pass = *VerdictBackground(kPassText);
  log.logCleared();
  EXPECT_EQ(log.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), pass);
  EXPECT_FALSE(log.index(1, 0).data(Qt::BackgroundRole).isValid());  // a measurement
  EXPECT_EQ(summary.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), pass);
}

}  // namespace
}  // namespace kv
