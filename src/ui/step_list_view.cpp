#include "ui/step_list_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/step_grid_model.h"
#include "ui/twips.h"

namespace kv {

namespace {

QPushButton* ListButton(QWidget* parent, const char* name, const QString& text,
                        const QString& toolTip, QStyle::StandardPixmap icon) {
  auto* button = new QPushButton(parent->style()->standardIcon(icon), text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(toolTip);
  // Taking the focus on a click makes an open input box or a total-step field
  // finish its edit before the operation reads the panel.
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

}  // namespace

StepListView::StepListView(StepGrid& grid, QWidget* parent)
    : QWidget(parent),
      grid_(grid),
      model_(new StepGridModel(grid, this)),
      table_(new QTableView(this)),
      add_(ListButton(this, "AddIntoCommand", QStringLiteral("Add"),
                      QStringLiteral("Addition New Step"), QStyle::SP_FileDialogNewFolder)),
      insert_(ListButton(this, "InsertCommand", QStringLiteral("Insert"),
                         QStringLiteral("Insert Step"), QStyle::SP_FileDialogStart)),
      replace_(ListButton(this, "ReplaceCommand", QStringLiteral("Replace"),
                          QStringLiteral("Replace the selected step with the editor's values"),
                          QStyle::SP_BrowserReload)),
      remove_(ListButton(this, "RemoveCommand", QStringLiteral("Delete"),
                         QStringLiteral("Delete Step"), QStyle::SP_TrashIcon)),
      moveUp_(ListButton(this, "MoveUpCommand", QStringLiteral("Up"),
                         QStringLiteral("Move Up Step"), QStyle::SP_ArrowUp)),
      moveDown_(ListButton(this, "MoveDnCommand", QStringLiteral("Down"),
                           QStringLiteral("Move Down Step"), QStyle::SP_ArrowDown)) {
  table_->setObjectName(QStringLiteral("StepGrid"));
  table_->setModel(model_);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setSelectionBehavior(QAbstractItemView::SelectItems);
  table_->setWordWrap(false);
  // Fixed row heights and no sizing to contents: a list of 32767 steps must
  // open without measuring every row.
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  table_->setColumnWidth(kColStepNo, TwipsToPixels(800, this));
  table_->setColumnWidth(kColFunction, TwipsToPixels(2000, this));
  for (int c = kColMode; c < kStepColumns; ++c) {
    table_->setColumnWidth(c, TwipsToPixels(1000, this));
  }

  connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!followingGrid_ && current.isValid()) {
              grid_.SetCurrentCell(StepGridModel::gridRow(current), current.column());
            }
          });
  connect(table_, &QTableView::clicked, this, [this](const QModelIndex& index) {
    grid_.SetCurrentCell(StepGridModel::gridRow(index), index.column());
    emit stepClicked(StepGridModel::gridRow(index));
  });
  connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    grid_.SetCurrentCell(StepGridModel::gridRow(index), index.column());
    emit stepDoubleClicked(StepGridModel::gridRow(index));
  });

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {add_, insert_, replace_, remove_, moveUp_, moveDown_}) {
    buttons->addWidget(b);
  }
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(buttons);
  layout->addWidget(table_, 1);
  showGridCurrentCell();
}

void StepListView::showGridCurrentCell() {
  const QModelIndex current = model_->indexOfCell(grid_.CurrentRow(), grid_.CurrentCol());
  const bool was = followingGrid_;
  followingGrid_ = true;
  table_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
  followingGrid_ = was;
  if (current.isValid()) {
    // Bring the row into view without moving the columns the operator has
    // scrolled to.
    const int leftColumn = std::max(table_->columnAt(0), 0);
    table_->scrollTo(model_->index(current.row(), leftColumn));
  }
}

}  // namespace kv
