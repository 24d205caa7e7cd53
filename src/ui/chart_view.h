#pragma once
// Which stretch of a run's time the chart shows, as an operator moves it:
// the whole run, or a width that follows the newest data or stays where it
// was dragged. Plain arithmetic on seconds, so it is tested without a window.

#include <utility>

namespace kv {

class ChartView {
 public:
  /// Narrower than this shows too little; a run without data shows this much.
  static constexpr double kMinSpanSeconds = 10;
  static constexpr double kEmptyRunSpan = 60;

  /// The times shown, [first, second], for a run whose newest point is at
  /// `lastTime`. A run that goes on keeps room for what comes; one that
  /// ended ends the view at its last point, so that point is drawn.
  std::pair<double, double> Range(double lastTime) const;

  bool Following() const { return follow_; }
  /// On: the view ends at the newest point and keeps its width. Off: it stays
  /// where it is now.
  void SetFollow(bool follow, double lastTime);
  /// The whole run, following.
  void ShowAll();
  /// Zooms by `steps` wheel notches (positive: closer) around the time at
  /// `fraction` (0 left edge, 1 right edge) of the width.
  void Zoom(double steps, double fraction, double lastTime);
  /// A drag begins: the view keeps its width from here on.
  void BeginDrag(double lastTime);
  /// The drag moved by `widthFraction` of the width (positive: to the right,
  /// back in time); stops following.
  void DragBy(double widthFraction, double lastTime);
  /// The run ended / a new one began.
  void SetFinished(bool finished) { finished_ = finished; }

 private:
  double span_ = 0;  // 0: the whole run
  double end_ = 0;   // the right edge when not following
  double dragEnd_ = 0;
  bool follow_ = true;
  bool finished_ = false;
};

}  // namespace kv
