#include "ui/result_log_model.h"

#include <algorithm>

#include "chart/verdict_look.h"
#include "results/result_columns.h"

namespace kv {

ResultLogModel::ResultLogModel(const ResultLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), shownRows_(static_cast<int>(log.RowCount())) {}

int ResultLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int ResultLogModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kResultColumns;
}

QVariant ResultLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) {
    return {};
  }
  if (role == Qt::BackgroundRole) {
    // A verdict row stands out from the measurement rows around it.
    const auto row = static_cast<std::size_t>(index.row());
    if (const auto colour = VerdictBackground(log_.Cell(row, kResResult))) {
      return *colour;
    }
    return {};
  }
  if (role != Qt::DisplayRole) {
    return {};
  }
  const std::string_view cell = log_.Cell(static_cast<std::size_t>(index.row()), index.column());
  return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

QVariant ResultLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const auto kColumns = BuildResultColumns();
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < kResultColumns) {
    const std::string_view caption = kColumns[static_cast<std::size_t>(section)].caption;
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

void ResultLogModel::logAboutToBeCleared() {
  beginResetModel();
}

void ResultLogModel::logCleared() {
  shownRows_ = static_cast<int>(log_.RowCount());
  endResetModel();
}

void ResultLogModel::rowAdded(qsizetype index) {
  const int last = static_cast<int>(std::min<std::size_t>(log_.RowCount(),
                                                          static_cast<std::size_t>(index) + 1)) -
                   1;
  if (last < shownRows_) {
    return;
  }
  beginInsertRows({}, shownRows_, last);
  shownRows_ = last + 1;
  endInsertRows();
}

}  // namespace kv
