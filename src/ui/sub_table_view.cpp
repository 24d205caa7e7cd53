#include "ui/sub_table_view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "ui/twips.h"

namespace kv {

namespace {

const char* InputBoxName(SubTableKind kind) {
  switch (kind) {
    case SubTableKind::Ramp:
      return "RampTestStepInputText";
    case SubTableKind::SeqLoad:
      return "SeqLoadTestStepInputText";
    case SubTableKind::CycleLife:
      break;
  }
  return "CycleTestStepInputText";
}

// Column widths in twips: the title column, then every value column.
std::pair<int, int> ColumnTwips(SubTableKind kind) {
  switch (kind) {
    case SubTableKind::Ramp:
      return {650, 495};
    case SubTableKind::SeqLoad:
      return {1000, 495};
    case SubTableKind::CycleLife:
      break;
  }
  return {700, 800};
}

// Focus that moves to a menu or another application is no edit ending.
bool EndsEditing(const QFocusEvent* event) {
  return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

}  // namespace

SubTableModel::SubTableModel(const SubTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(table.Rows()), cols_(table.Cols()) {}

void SubTableModel::reload() {
  if (rows_ != table_.Rows() || cols_ != table_.Cols()) {
    beginResetModel();
    rows_ = table_.Rows();
    cols_ = table_.Cols();
    endResetModel();
  } else if (rows_ > 0 && cols_ > 0) {
    emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
  }
}

int SubTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int SubTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_;
}

QVariant SubTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) {
    return {};
  }
  const bool fixed = index.row() == 0 || index.column() == 0;
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(table_.Cell(index.row(), index.column()));
    case Qt::TextAlignmentRole:
      return fixed && index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                          : QVariant(Qt::AlignCenter);
    case Qt::BackgroundRole:
      return fixed ? QVariant(QApplication::palette().button()) : QVariant();
    default:
      return {};
  }
}

SubTableView::SubTableView(StepEditor& editor, SubTableKind kind, QWidget* parent)
    : QTableView(parent),
      editor_(editor),
      kind_(kind),
      model_(new SubTableModel(editor.Table(kind), this)),
      box_(new QLineEdit(viewport())) {
  setObjectName(QString::fromUtf8(SubTableName(kind).data(),
                                  static_cast<qsizetype>(SubTableName(kind).size())));
  setModel(model_);
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(TwipsToPixels(285, this));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The input box marks the cell being edited; a selection colour would only
  // compete with it.
  setSelectionMode(QAbstractItemView::NoSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->installEventFilter(this);

  box_->setObjectName(InputBoxName(kind));
  box_->setFrame(false);
  box_->setAlignment(Qt::AlignCenter);
  box_->hide();
  box_->installEventFilter(this);
  connect(box_, &QLineEdit::returnPressed, this, &SubTableView::commitBox);
  refresh();
}

void SubTableView::applyColumnWidths() {
  // The layout's widths, widened where the screen's font needs more room.
  const auto [title, value] = ColumnTwips(kind_);
  const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 6;
  for (int c = 0; c < model_->columnCount(); ++c) {
    int width = TwipsToPixels(c == 0 ? title : value, this);
    for (int r = 0; r < model_->rowCount(); ++r) {
      const QString text = model_->index(r, c).data().toString();
      width = std::max(width, fontMetrics().horizontalAdvance(text) + padding);
    }
    setColumnWidth(c, width);
  }
  fitHeight();
}

void SubTableView::fitHeight() {
  // As tall as its rows, and a scroll bar when the columns do not fit: the
  // table never scrolls up and down, and shows no empty grid area.
  int height = 2 * frameWidth();
  for (int r = 0; r < model_->rowCount(); ++r) {
    height += rowHeight(r);
  }
  if (horizontalScrollBar()->maximum() > 0) {
    height += horizontalScrollBar()->sizeHint().height();
  }
  if (height != this->height() || minimumHeight() != height) {
    setFixedHeight(height);
  }
}

void SubTableView::updateGeometries() {
  QTableView::updateGeometries();
  fitHeight();
}

void SubTableView::refresh() {
  const SubTable& table = editor_.Table(kind_);
  model_->reload();
  applyColumnWidths();
  const QModelIndex current = model_->index(table.CurrentRow(), table.CurrentCol());
  selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);

  const bool boxOpen = editor_.InputBoxTable() == kind_;
  if (boxOpen && !box_->isVisible()) {
    const SubTableEditTarget target = editor_.EditTarget();
    const QModelIndex cell = model_->index(target.row, target.col);
    scrollTo(cell);
    box_->setGeometry(visualRect(cell));
    box_->setText(QString::fromStdString(editor_.InputBoxText()));
    box_->show();
    box_->setFocus(Qt::OtherFocusReason);
    box_->selectAll();
  } else if (!boxOpen && box_->isVisible()) {
    box_->hide();
  }
}

void SubTableView::recorded(const std::function<void()>& change) {
  const SubTable before = editor_.Table(kind_);
  change();
  if (recorder_ && !SameCells(before, editor_.Table(kind_))) {
    recorder_(before);
  }
}

void SubTableView::commitBox() {
  recorded([this] { editor_.CommitInputBox(box_->text().toStdString()); });
  emit changed();
}

bool SubTableView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex cell = indexAt(mouse->position().toPoint());
    // A click with the box open commits it: an edit like Enter.
    recorded([this, &cell] {
      editor_.ClickSubTable(kind_, cell.isValid() ? cell.row() : -1,
                            cell.isValid() ? cell.column() : -1, box_->text().toStdString());
    });
    emit changed();
    return true;
  }
  if (watched == viewport() && event->type() == QEvent::MouseButtonDblClick) {
    return true;  // the second click of a double-click is no click of its own
  }
  if (watched == box_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // Esc leaves the cell as the box found it.
    box_->setText(QString::fromStdString(editor_.InputBoxText()));
    commitBox();
    return true;
  }
  if (watched == box_ && event->type() == QEvent::FocusOut) {
    const auto* focus = static_cast<QFocusEvent*>(event);
    // A click on this table takes the focus first; the click itself commits
    // the box, so that the clicked cell stays current and opens nothing.
    const QWidget* next = QApplication::focusWidget();
    const bool toThisTable =
        focus->reason() == Qt::MouseFocusReason && (next == this || next == viewport());
    if (EndsEditing(focus) && !toThisTable) {
      commitBox();
    }
  }
  return QTableView::eventFilter(watched, event);
}

}  // namespace kv
