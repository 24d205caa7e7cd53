#pragma once
// The result log as a Qt table model: rows appended as the station adds them,
// nothing per row but what a view asks for while painting.

#include <QAbstractTableModel>

#include "results/result_log.h"

namespace kv {

class ResultLogModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ResultLogModel(const ResultLog& log, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 public slots:
  /// The log is about to be emptied (Run); logCleared follows at once.
  void logAboutToBeCleared();
  /// The log was emptied.
  void logCleared();
  /// Row `index` was appended; rows before it that the view was not told about
  /// come along.
  void rowAdded(qsizetype index);

 private:
  const ResultLog& log_;
  int shownRows_ = 0;
};

}  // namespace kv
