#pragma once
// The step list on screen: StepGrid as a table view over the grid model, and
// the five list buttons beside it. The buttons only report clicks; the
// operations run in StepEditorWidget, which knows the editor panel too.

#include <QTableView>
#include <QWidget>

#include "steps/step_grid.h"

class QPushButton;

namespace kv {

class StepGridModel;

class StepListView : public QWidget {
  Q_OBJECT

 public:
  explicit StepListView(StepGrid& grid, QWidget* parent = nullptr);

  QTableView* table() const { return table_; }
  StepGridModel* model() const { return model_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* insertButton() const { return insert_; }
  QPushButton* replaceButton() const { return replace_; }
  QPushButton* removeButton() const { return remove_; }
  QPushButton* moveUpButton() const { return moveUp_; }
  QPushButton* moveDownButton() const { return moveDown_; }

  /// Puts the view's current cell where the grid's is, and scrolls to it.
  void showGridCurrentCell();
  /// While set, the view's current cell follows the grid and not the other
  /// way round (the grid is being changed by an operation).
  void setFollowingGrid(bool following) { followingGrid_ = following; }

 signals:
  /// A double-click on a cell of step list row `gridRow`.
  void stepDoubleClicked(int gridRow);
  /// A click on a cell of step list row `gridRow`.
  void stepClicked(int gridRow);

 private:
  StepGrid& grid_;
  StepGridModel* model_;
  QTableView* table_;
  QPushButton* add_;
  QPushButton* insert_;
  QPushButton* replace_;
  QPushButton* remove_;
  QPushButton* moveUp_;
  QPushButton* moveDown_;
  bool followingGrid_ = false;
};

}  // namespace kv
