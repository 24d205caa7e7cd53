#include "ui/step_editor_panel.h"

#include "ui/sub_table_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/func_frame.h"

namespace kv {

StepEditorPanel::StepEditorPanel(StepEditor& editor, QWidget* parent)
    : QWidget(parent),
      editor_(editor),
      functionCombo_(new QComboBox(this)),
      frameStack_(new QStackedWidget(this)),
      stopFrame_(new StopConditionFrame(editor, this)) {
  setObjectName(QStringLiteral("StepEditorPanel"));
  functionCombo_->setObjectName(QStringLiteral("FunctionCombo"));
  functionCombo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  for (int i = 0; i < kStepFunctionCount; ++i) {
    auto* frame = new FuncFrame(editor, static_cast<StepFunction>(i), frameStack_);
    frames_[static_cast<std::size_t>(i)] = frame;
    frameStack_->addWidget(frame);
    connect(frame, &FuncFrame::changed, this, &StepEditorPanel::refresh);
  }
  connect(stopFrame_, &StopConditionFrame::changed, this, &StepEditorPanel::refresh);
  connect(functionCombo_, &QComboBox::activated, this, [this](int index) {
    editor_.SelectFunction(functionCombo_->itemText(index).toStdString());
    refresh();
  });

  auto* selector = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Function"), this);
  label->setBuddy(functionCombo_);
  selector->addWidget(label);
  selector->addWidget(functionCombo_);
  selector->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(selector);
  layout->addWidget(frameStack_);
  layout->addWidget(stopFrame_);
  layout->addStretch(1);
  refresh();
}

FuncFrame* StepEditorPanel::visibleFrame() const {
  return editor_.VisibleFrame() < 0 ? nullptr
                                    : frames_[static_cast<std::size_t>(editor_.VisibleFrame())];
}

void StepEditorPanel::refresh() {
  QStringList offered;
  for (const auto& name : editor_.OfferedFunctions()) {
    offered << QString::fromStdString(name);
  }
  QStringList shown;
  for (int i = 0; i < functionCombo_->count(); ++i) {
    shown << functionCombo_->itemText(i);
  }
  if (shown != offered) {
    functionCombo_->clear();
    functionCombo_->addItems(offered);
  }
  functionCombo_->setCurrentIndex(
      functionCombo_->findText(QString::fromStdString(editor_.SelectedFunction())));

  if (FuncFrame* frame = visibleFrame()) {
    frameStack_->setCurrentWidget(frame);
  }
  frameStack_->setVisible(visibleFrame() != nullptr);
  for (FuncFrame* frame : frames_) {
    frame->refresh();
  }
  stopFrame_->refresh();
}

void StepEditorPanel::setSubTableRecorder(
    const std::function<void(SubTableKind, const SubTable&)>& recorder) {
  for (FuncFrame* frame : frames_) {
    if (SubTableView* table = frame->subTable()) {
      table->setEditRecorder(
          [recorder, kind = table->kind()](const SubTable& before) { recorder(kind, before); });
    }
  }
}

}  // namespace kv
