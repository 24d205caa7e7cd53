#include "ui/frozen_columns_view.h"

#include <QHeaderView>
#include <QScrollBar>

namespace kv {

FrozenColumnsView::FrozenColumnsView(int frozenColumns, QWidget* parent)
    : QTableView(parent), frozenColumns_(frozenColumns), frozen_(new QTableView(this)) {
  frozen_->setObjectName(QStringLiteral("FrozenColumns"));
  // Focus and keys stay with the table; the overlay only shows and takes clicks.
  frozen_->setFocusPolicy(Qt::NoFocus);
  frozen_->verticalHeader()->hide();
  frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setStyleSheet(QStringLiteral("QTableView { border: none; }"));
  viewport()->stackUnder(frozen_);
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int size) {
            if (column < frozenColumns_) {
              frozen_->setColumnWidth(column, size);
              updateFrozenGeometry();
            }
          });
  connect(verticalHeader(), &QHeaderView::sectionResized, this,
          [this](int row, int, int size) { frozen_->setRowHeight(row, size); });
}

void FrozenColumnsView::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  frozen_->setModel(model);
  frozen_->setSelectionModel(selectionModel());
  frozen_->setSelectionMode(selectionMode());
  frozen_->setEditTriggers(editTriggers());
  frozen_->setWordWrap(wordWrap());
  frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
  // The overlay reports clicks as the table would.
  connect(frozen_, &QTableView::clicked, this, &QTableView::clicked);
  connect(frozen_, &QTableView::doubleClicked, this, &QTableView::doubleClicked);
  for (int c = 0; c < model->columnCount(); ++c) {
    frozen_->setColumnHidden(c, c >= frozenColumns_);
  }
  updateFrozenGeometry();
}

int FrozenColumnsView::frozenWidth() const {
  int width = 0;
  for (int c = 0; c < frozenColumns_; ++c) {
    width += columnWidth(c);
  }
  return width;
}

void FrozenColumnsView::updateFrozenGeometry() {
  for (int c = 0; c < frozenColumns_; ++c) {
    frozen_->setColumnWidth(c, columnWidth(c));
  }
  frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
  frozen_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), frozenWidth(),
                       viewport()->height() + horizontalHeader()->height());
}

void FrozenColumnsView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  updateFrozenGeometry();
}

// Moving left into the fixed columns scrolls the rest back to their edge.
QModelIndex FrozenColumnsView::moveCursor(CursorAction cursorAction,
                                          Qt::KeyboardModifiers modifiers) {
  const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
  if (cursorAction == MoveLeft && current.column() >= frozenColumns_ &&
      visualRect(current).topLeft().x() < frozenWidth()) {
    const int newValue =
        horizontalScrollBar()->value() + visualRect(current).topLeft().x() - frozenWidth();
    horizontalScrollBar()->setValue(newValue);
  }
  return current;
}

void FrozenColumnsView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  // A cell of the fixed columns is always in view sideways: only its row is
  // brought into view, the other columns stay where the operator put them.
  const int across = horizontalScrollBar()->value();
  QTableView::scrollTo(index, hint);
  if (index.column() < frozenColumns_) {
    horizontalScrollBar()->setValue(across);
  }
}

}  // namespace kv
