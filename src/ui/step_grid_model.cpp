#include "ui/step_grid_model.h"

#include <QColor>
#include <algorithm>

namespace kv {

StepGridModel::StepGridModel(StepGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), shownRows_(grid.Rows() - 1) {
  grid_.SetObserver(this);
}

StepGridModel::~StepGridModel() {
  grid_.SetObserver(nullptr);
}

QModelIndex StepGridModel::indexOfCell(int gridRow, int col) const {
  return index(gridRow - 1, col);
}

int StepGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int StepGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kStepColumns;
}

QVariant StepGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(grid_.Cell(gridRow(index), index.column()));
    case Qt::BackgroundRole:
      if (index.column() != kColStepNo && isRowHighlighted(gridRow(index))) {
        return QColor(255, 255, 0);
      }
      return {};
    case Qt::TextAlignmentRole:
      return index.column() == kColStepNo ? QVariant() : QVariant(Qt::AlignCenter);
    default:
      return {};
  }
}

QVariant StepGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < kStepColumns) {
    return QString::fromStdString(grid_.Cell(0, section));
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool StepGridModel::isRowHighlighted(int gridRow) const {
  return std::find(highlighted_.begin(), highlighted_.end(), gridRow) != highlighted_.end();
}

void StepGridModel::setRowHighlighted(int row, bool highlighted) {
  if (row < 1 || row >= grid_.Rows() || isRowHighlighted(row) == highlighted) {
    return;
  }
  if (highlighted) {
    highlighted_.push_back(row);
  } else {
    std::erase(highlighted_, row);
  }
  emit dataChanged(indexOfCell(row, kColStepNo + 1), indexOfCell(row, kStepColumns - 1),
                   {Qt::BackgroundRole});
}

// The grid reports changes after making them. Row changes are announced as a
// begin/end pair at once: nothing between the two asks the grid for data, and
// persistent indexes move by row numbers alone.
void StepGridModel::OnGridReset() {
  beginResetModel();
  highlighted_.clear();
  shownRows_ = grid_.Rows() - 1;
  endResetModel();
}

void StepGridModel::OnCellChanged(int row, int col) {
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, col, col);
    return;
  }
  const QModelIndex cell = indexOfCell(row, col);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void StepGridModel::OnRowsInserted(int first, int count) {
  beginInsertRows({}, first - 1, first - 1 + count - 1);
  shownRows_ += count;
  endInsertRows();
}

void StepGridModel::OnRowsRemoved(int first, int count) {
  beginRemoveRows({}, first - 1, first - 1 + count - 1);
  shownRows_ -= count;
  endRemoveRows();
}

}  // namespace kv
