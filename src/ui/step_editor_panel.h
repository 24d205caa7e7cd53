#pragma once
// The step editor panel: the function selector, the 19 function frames (one
// on screen at a time) and the Stop Condition frame, all showing one
// StepEditor.

#include <QWidget>
#include <array>
#include <functional>

#include "steps/step_editor.h"

class QComboBox;
class QStackedWidget;

namespace kv {

class FuncFrame;
class StopConditionFrame;

class StepEditorPanel : public QWidget {
  Q_OBJECT

 public:
  explicit StepEditorPanel(StepEditor& editor, QWidget* parent = nullptr);

  StepEditor& editor() { return editor_; }
  QComboBox* functionCombo() const { return functionCombo_; }
  FuncFrame* frame(StepFunction f) const { return frames_[static_cast<std::size_t>(f)]; }
  /// The frame on screen, nullptr before any function was selected.
  FuncFrame* visibleFrame() const;
  StopConditionFrame* stopConditionFrame() const { return stopFrame_; }
  /// Every sub-table tells `recorder` its state before each edit of a cell.
  void setSubTableRecorder(const std::function<void(SubTableKind, const SubTable&)>& recorder);

 public slots:
  /// Shows the editor's state again after it changed outside this panel (a
  /// step shown from the list, a new function offer, a file open).
  void refresh();

 private:
  StepEditor& editor_;
  QComboBox* functionCombo_;
  QStackedWidget* frameStack_;
  std::array<FuncFrame*, kStepFunctionCount> frames_{};
  StopConditionFrame* stopFrame_;
};

}  // namespace kv
