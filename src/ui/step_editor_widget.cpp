#include "ui/step_editor_widget.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>

#include "steps/step_list_ops.h"
#include "ui/step_editor_panel.h"
#include "ui/step_list_view.h"

namespace kv {

StepEditorWidget::StepEditorWidget(StepGrid& grid, StepEditor& editor, QWidget* parent)
    : QWidget(parent),
      grid_(grid),
      editor_(editor),
      panel_(new StepEditorPanel(editor, this)),
      list_(new StepListView(grid, this)) {
  setObjectName(QStringLiteral("StepEditorWidget"));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(panel_);
  layout->addWidget(list_, 1);

  connect(list_->addButton(), &QPushButton::clicked, this, &StepEditorWidget::addStep);
  connect(list_->insertButton(), &QPushButton::clicked, this, &StepEditorWidget::insertStep);
  connect(list_->removeButton(), &QPushButton::clicked, this, &StepEditorWidget::removeStep);
  connect(list_->moveUpButton(), &QPushButton::clicked, this, &StepEditorWidget::moveStepUp);
  connect(list_->moveDownButton(), &QPushButton::clicked, this, &StepEditorWidget::moveStepDown);
  connect(list_, &StepListView::stepDoubleClicked, this, &StepEditorWidget::showCurrentStep);
}

void StepEditorWidget::setMessageHandler(std::function<void(const QString&)> handler) {
  messageHandler_ = std::move(handler);
}

void StepEditorWidget::showMessage(const QString& text) {
  if (messageHandler_) {
    messageHandler_(text);
    return;
  }
  QMessageBox::information(this, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

void StepEditorWidget::refresh() {
  panel_->refresh();
  list_->showGridCurrentCell();
}

template <typename Op>
void StepEditorWidget::runListOperation(Op op) {
  const int before = grid_.StepCount();
  list_->setFollowingGrid(true);
  op();
  list_->setFollowingGrid(false);
  list_->showGridCurrentCell();
  if (grid_.StepCount() != before) {
    emit stepCountChanged(QString::fromStdString(StepCountText(grid_)));
  }
}

void StepEditorWidget::addStep() {
  StepListResult result;
  runListOperation([&] { result = AddStep(grid_, editor_); });
  if (!result.message.empty()) {
    showMessage(QString::fromStdString(result.message));
  }
}

void StepEditorWidget::insertStep() {
  StepListResult result;
  runListOperation([&] { result = InsertStep(grid_, editor_); });
  if (!result.message.empty()) {
    showMessage(QString::fromStdString(result.message));
  }
}

void StepEditorWidget::removeStep() {
  runListOperation([&] { RemoveStep(grid_); });
}

void StepEditorWidget::moveStepUp() {
  runListOperation([&] { MoveStepUp(grid_); });
}

void StepEditorWidget::moveStepDown() {
  runListOperation([&] { MoveStepDown(grid_); });
}

void StepEditorWidget::showCurrentStep() {
  const ShowStepResult result = editor_.ShowStepInPanel(grid_, grid_.CurrentRow());
  panel_->refresh();
  if (!result.shown) {
    showMessage(QString::fromStdString(result.message));
  }
}

}  // namespace kv
