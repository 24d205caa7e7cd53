#pragma once
// The step list as a Qt table model. The grid's row 0 becomes the horizontal
// header; grid row r is model row r - 1, so the empty last row is on screen as
// in the list it stands for. No widget per cell: a view asks only for the
// cells it paints.

#include <QAbstractTableModel>
#include <vector>

#include "steps/step_grid.h"

namespace kv {

class StepGridModel : public QAbstractTableModel, private StepGridObserver {
  Q_OBJECT

 public:
  explicit StepGridModel(StepGrid& grid, QObject* parent = nullptr);
  ~StepGridModel() override;

  StepGrid& grid() { return grid_; }
  /// The model index of grid cell (row, col); invalid for the header row.
  QModelIndex indexOfCell(int gridRow, int col) const;
  static int gridRow(const QModelIndex& index) { return index.row() + 1; }

  /// The running-row colour: yellow behind columns 1 to 25 of grid row
  /// `gridRow`, or white again. Column 0 keeps its colour. A new list (reset)
  /// is all white.
  void setRowHighlighted(int gridRow, bool highlighted);
  bool isRowHighlighted(int gridRow) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void OnGridReset() override;
  void OnCellChanged(int row, int col) override;
  void OnRowsInserted(int first, int count) override;
  void OnRowsRemoved(int first, int count) override;

  StepGrid& grid_;
  // The row count the views have been told about; it follows the grid through
  // the notifications so that every begin/end pair sees the count it expects.
  int shownRows_ = 0;
  // Grid rows shown yellow; a run leaves at most a few (a FOR block going
  // back leaves the row before the jump as it was).
  std::vector<int> highlighted_;
};

}  // namespace kv
