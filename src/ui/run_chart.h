#pragma once
// The run's voltage, current and power against the time since the run
// started, one pane each, with the steps that ran marked. Every point stays
// (compact arrays, about 20 bytes a point); what is drawn is a min/max per
// pixel column, so a week-long run redraws as fast as a minute-long one. A
// tick without a measurement is a gap in the traces. The wheel zooms around
// the cursor, a drag pans, a double click shows the whole run; "Follow" keeps
// the newest data in view. Hovering reads out the point under the mouse; the
// context menu saves the chart as a PNG.

#include <QString>
#include <QWidget>

#include "chart/chart_series.h"
#include "ui/chart_view.h"

class QPushButton;

namespace kv {

class RunChart : public QWidget {
  Q_OBJECT

 public:
  explicit RunChart(QWidget* parent = nullptr);

  /// Forgets every point and mark and shows the whole (empty) run again.
  void Clear();
  /// One measurement; times must not go backwards (a point that does is
  /// dropped, so the arrays stay sorted).
  void AddPoint(double elapsedSeconds, double volts, double amps, double watts);
  /// A tick without a measurement: the traces break here.
  void AddGap(double elapsedSeconds);
  /// Step `stepNo` (`function`) started at `elapsedSeconds`.
  void MarkStep(double elapsedSeconds, int stepNo, const QString& function);
  /// The load gave a verdict at `elapsedSeconds` (an OCP, OPP, RAMP or cycle
  /// test ended); drawn as a PASS or FAIL tag at the step it belongs to.
  void MarkVerdict(double elapsedSeconds, bool pass);
  std::size_t VerdictCount() const { return series_.Verdicts().size(); }
  std::size_t MarkCount() const { return series_.Marks().size(); }
  /// The run ended: the whole-run view now ends at the last point instead
  /// of keeping a minute's room for more.
  void Finish();

  std::size_t PointCount() const { return series_.Times().size(); }
  /// The elapsed times shown, [first, second).
  std::pair<double, double> VisibleRange() const;
  bool IsFollowing() const { return view_.Following(); }
  /// What the read-out says for the point nearest to `elapsedSeconds`
  /// ("" with no point): time, V, I, P and the step it belongs to.
  QString ReadOut(double elapsedSeconds) const;
  /// The chart as it is drawn now; false when the file was not written.
  bool SaveAsPng(const QString& path);

 public slots:
  /// On: the view ends at the newest point (and keeps its width).
  void SetFollow(bool follow);
  /// The whole run in view, following.
  void ShowAll();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QRect PlotRect() const;
  double LastTime() const { return series_.LastTime(); }
  void PaintReadOut(QPainter& p, const QRect& plot, double t0, double t1);
  // A point outside a view the operator has moved away from changes nothing.
  void UpdateFor(bool added, double elapsedSeconds);

  ChartSeries series_;
  ChartView view_;
  bool dragging_ = false;
  int dragX_ = 0;
  int hoverX_ = -1;  // the read-out's place; -1: none
  QPushButton* followButton_;
};

}  // namespace kv
