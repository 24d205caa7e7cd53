#include "ui/step_editor_widget.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>

#include "steps/step_list_ops.h"
#include "ui/step_editor_panel.h"
#include "ui/step_list_view.h"

namespace kv {

namespace {

// One change of the list on the undo stack. It was made before it was
// pushed, so the push's own redo does nothing.
constexpr int kListCommandId = 1;

class StepListCommand : public QUndoCommand {
 public:
  int id() const override { return kListCommandId; }
  StepListCommand(StepGrid& grid, StepListChange change, std::function<void(int)> after)
      : grid_(grid), change_(std::move(change)), after_(std::move(after)) {
    static constexpr const char* kNames[] = {"insert", "delete", "replace", "move"};
    setText(QString::fromLatin1(kNames[static_cast<int>(change_.kind)]));
  }
  void undo() override { Run(&RevertChange); }
  void redo() override {
    if (!std::exchange(made_, false)) {
      Run(&ApplyChange);
    }
  }

 private:
  void Run(void (*step)(StepGrid&, const StepListChange&)) {
    const int before = grid_.StepCount();
    step(grid_, change_);
    after_(before);
  }
  StepGrid& grid_;
  StepListChange change_;
  std::function<void(int)> after_;
  bool made_ = true;
};

// A cell edit of a sub-table: the table as it was and as it is now.
class SubTableCommand : public QUndoCommand {
 public:
  SubTableCommand(StepEditor& editor, SubTableKind kind, SubTable before,
                  std::function<void()> show)
      : QUndoCommand(QStringLiteral("sub-table edit")),
        editor_(editor),
        kind_(kind),
        before_(std::move(before)),
        after_(editor.Table(kind)),
        show_(std::move(show)) {}
  void undo() override { Put(before_); }
  void redo() override {
    if (!std::exchange(made_, false)) {
      Put(after_);
    }
  }

 private:
  void Put(const SubTable& table) {
    editor_.Table(kind_) = table;
    show_();
  }
  StepEditor& editor_;
  SubTableKind kind_;
  SubTable before_;
  SubTable after_;
  std::function<void()> show_;
  bool made_ = true;
};

}  // namespace

StepEditorWidget::StepEditorWidget(StepGrid& grid, StepEditor& editor, QWidget* parent)
    : QWidget(parent),
      grid_(grid),
      editor_(editor),
      panel_(new StepEditorPanel(editor, this)),
      list_(new StepListView(grid, this)),
      undo_(new QUndoStack(this)) {
  setObjectName(QStringLiteral("StepEditorWidget"));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(panel_);
  layout->addWidget(list_, 1);

  connect(list_->addButton(), &QPushButton::clicked, this, &StepEditorWidget::addStep);
  connect(list_->insertButton(), &QPushButton::clicked, this, &StepEditorWidget::insertStep);
  connect(list_->replaceButton(), &QPushButton::clicked, this, &StepEditorWidget::replaceStep);
  connect(list_->removeButton(), &QPushButton::clicked, this, &StepEditorWidget::removeStep);
  connect(list_->moveUpButton(), &QPushButton::clicked, this, &StepEditorWidget::moveStepUp);
  connect(list_->moveDownButton(), &QPushButton::clicked, this, &StepEditorWidget::moveStepDown);
  connect(list_, &StepListView::stepDoubleClicked, this, &StepEditorWidget::showCurrentStep);
  // A click shows the step too; what cannot be shown is said in the status
  // line, since a box at every click would be in the way.
  connect(list_, &StepListView::stepClicked, this, [this](int row) {
    const ShowStepResult result = editor_.ShowStepInPanel(grid_, row);
    panel_->refresh();
    if (!result.shown) {
      emit statusMessage(QString::fromStdString(result.message));
    }
  });

  panel_->setSubTableRecorder([this](SubTableKind kind, const SubTable& before) {
    undo_->push(new SubTableCommand(editor_, kind, before, [this] { panel_->refresh(); }));
  });

  // A text field that has the focus keeps its own Ctrl+Z: it takes the
  // shortcut before the window does.
  auto* undoAction = new QAction(QStringLiteral("Undo"), this);
  undoAction->setShortcut(QKeySequence::Undo);
  connect(undoAction, &QAction::triggered, undo_, &QUndoStack::undo);
  auto* redoAction = new QAction(QStringLiteral("Redo"), this);
  redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence::Redo});
  connect(redoAction, &QAction::triggered, undo_, &QUndoStack::redo);
  addAction(undoAction);
  addAction(redoAction);
}

bool StepEditorWidget::listChangedSinceClean() const {
  const int clean = undo_->cleanIndex();
  if (clean < 0) {
    return true;  // the state last saved can no longer be reached
  }
  for (int i = std::min(clean, undo_->index()); i < std::max(clean, undo_->index()); ++i) {
    if (undo_->command(i)->id() == kListCommandId) {
      return true;
    }
  }
  return false;
}

void StepEditorWidget::setMessageHandler(std::function<void(const QString&)> handler) {
  messageHandler_ = std::move(handler);
}

void StepEditorWidget::setListLocked(bool locked) {
  for (QPushButton* b : {list_->addButton(), list_->insertButton(), list_->replaceButton(),
                         list_->removeButton(), list_->moveUpButton(), list_->moveDownButton()}) {
    b->setEnabled(!locked);
  }
  for (QAction* a : actions()) {
    a->setEnabled(!locked);
  }
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

void StepEditorWidget::followGrid(int stepsBefore) {
  list_->showGridCurrentCell();
  if (grid_.StepCount() != stepsBefore) {
    emit stepCountChanged(QString::fromStdString(StepCountText(grid_)));
  }
}

void StepEditorWidget::runListOperation(const std::function<StepListResult()>& op) {
  const int before = grid_.StepCount();
  list_->setFollowingGrid(true);
  StepListResult result = op();
  list_->setFollowingGrid(false);
  followGrid(before);
  if (result.change) {
    undo_->push(new StepListCommand(grid_, std::move(*result.change), [this](int stepsBefore) {
      list_->setFollowingGrid(false);
      followGrid(stepsBefore);
    }));
  }
  if (!result.message.empty()) {
    emit statusMessage(QString::fromStdString(result.message));
  }
}

void StepEditorWidget::addStep() {
  runListOperation([this] { return AddStep(grid_, editor_); });
}

void StepEditorWidget::insertStep() {
  runListOperation([this] { return InsertStep(grid_, editor_); });
}

void StepEditorWidget::replaceStep() {
  runListOperation([this] { return ReplaceStep(grid_, editor_); });
}

void StepEditorWidget::removeStep() {
  runListOperation([this] { return RemoveStep(grid_); });
}

void StepEditorWidget::moveStepUp() {
  runListOperation([this] { return MoveStepUp(grid_); });
}

void StepEditorWidget::moveStepDown() {
  runListOperation([this] { return MoveStepDown(grid_); });
}

void StepEditorWidget::showCurrentStep() {
  const ShowStepResult result = editor_.ShowStepInPanel(grid_, grid_.CurrentRow());
  panel_->refresh();
  if (!result.shown) {
    showMessage(QString::fromStdString(result.message));
  }
}

}  // namespace kv
