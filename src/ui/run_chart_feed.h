#pragma once
// Feeds a RunChart from a station: emptied when a run empties the log, a
// point per measurement row (a gap where a tick measured nothing), a mark
// where each step that runs starts. Times are seconds since Run, as the window
// saw the rows arrive.

#include <QElapsedTimer>
#include <QObject>
#include <optional>

#include "base/clock.h"
#include "results/result_log.h"

namespace kv {

class RowPlaces;
class RunChart;
class Station;

class RunChartFeed : public QObject {
  Q_OBJECT

 public:
  /// `station` and `chart` must outlive the feed.
  RunChartFeed(const Station& station, RunChart& chart, QObject* parent = nullptr);

  /// Draws the rows of an ended run at once (Station::ShowResults), timed by
  /// their places where recorded, else by their stamps, from `started` (none:
  /// the first row's time).
  void ShowEndedRun(const RowPlaces& places, const std::optional<LocalDateTime>& started);

 private:
  void OnLogCleared();
  void OnRowAdded(qsizetype index);
  void AddRow(double at, const ResultRowView& row);
  void OnStepStarted(int row);
  double Elapsed() const;

  const Station& station_;
  RunChart& chart_;
  QElapsedTimer sinceRun_;
};

}  // namespace kv
