#pragma once
// A table whose first columns stay in place while the others scroll
// sideways: the step list's StepNo. and Function columns stay readable when
// an OCP or OPP step's cells are scrolled into view. A second view over the
// same model and selection lies over the left edge and shows only those
// columns, scrolling up and down with the table.

#include <QTableView>

namespace kv {

class FrozenColumnsView : public QTableView {
  Q_OBJECT

 public:
  explicit FrozenColumnsView(int frozenColumns, QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;
  /// The overlay that holds the fixed columns.
  QTableView* frozenView() const { return frozen_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 private:
  void updateFrozenGeometry();
  int frozenWidth() const;

  int frozenColumns_;
  QTableView* frozen_;
};

}  // namespace kv
