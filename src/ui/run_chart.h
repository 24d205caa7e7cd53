#pragma once
// The run's voltage, current and power against elapsed time, one pane each,
// with the step boundaries marked. Every point stays (compact arrays, about
// 20 bytes a point); what is drawn is a min/max per pixel column, so a
// week-long run redraws as fast as a minute-long one. The wheel zooms around
// the cursor, a drag pans, a double click shows the whole run; "Follow" keeps
// the newest data in view.

#include <QWidget>
#include <array>
#include <vector>

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
  /// Step `stepNo` started at `elapsedSeconds`.
  void MarkStep(double elapsedSeconds, int stepNo);
  /// The run ended: the whole-run view now ends at the last point instead
  /// of keeping a minute's room for more.
  void Finish();

  std::size_t PointCount() const { return times_.size(); }
  /// The elapsed times shown, [first, second).
  std::pair<double, double> VisibleRange() const;
  bool IsFollowing() const { return follow_; }

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
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Mark {
    double t;
    int stepNo;
  };
  QRect PlotRect() const;
  double LastTime() const { return times_.empty() ? 0.0 : times_.back(); }
  void PaintPane(QPainter& p, const QRect& pane, int series, double t0, double t1);
  void PaintTimeAxis(QPainter& p, const QRect& plot, double t0, double t1);
  void PaintMarks(QPainter& p, const QRect& plot, double t0, double t1);

  std::vector<double> times_;
  std::array<std::vector<float>, 3> values_;  // V, I, W
  std::vector<Mark> marks_;

  // The view: `span_` 0 means the whole run; otherwise the width in seconds,
  // ending at the newest point while following, else at `end_`.
  double span_ = 0;
  double end_ = 0;
  bool follow_ = true;
  bool finished_ = false;
  bool dragging_ = false;
  int dragX_ = 0;
  double dragEnd_ = 0;
  QPushButton* followButton_;
};

}  // namespace kv
