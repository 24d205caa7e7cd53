#pragma once
// The "Summary" tab: one row per step the latest run left (each loop pass
// counts), with why it ended, over Station::Summary().

#include <QAbstractTableModel>

namespace kv {

class Station;

class RunSummaryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RunSummaryModel(const Station& station, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  void OnLogCleared();
  void OnLogReplaced();
  void OnStepEnded(qsizetype index);

  const Station& station_;
  // The summary forgets the previous run only at the new run's first tick;
  // until then the tab is already empty.
  int shown_ = 0;
};

/// "Run ended (Stop pressed) after 0:01:05"; "" while no run has ended.
QString RunEndText(const Station& station);

}  // namespace kv
