#pragma once
// The whole step editing area: the editor panel, the list buttons and the
// step list. The main window embeds it and owns the grid and the editor it
// shows, since the runner and the step files use them as well.

#include <QWidget>
#include <functional>

#include "steps/step_editor.h"
#include "steps/step_grid.h"

namespace kv {

class StepEditorPanel;
class StepListView;

class StepEditorWidget : public QWidget {
  Q_OBJECT

 public:
  StepEditorWidget(StepGrid& grid, StepEditor& editor, QWidget* parent = nullptr);

  StepEditorPanel* panel() const { return panel_; }
  StepListView* listView() const { return list_; }

  /// Where messages go; by default a modal box with an OK button.
  void setMessageHandler(std::function<void(const QString&)> handler);

 public slots:
  /// Shows the editor and the grid again after they changed from outside.
  void refresh();
  void addStep();
  void insertStep();
  void removeStep();
  void moveStepUp();
  void moveStepDown();
  /// Loads the grid's current step into the panel.
  void showCurrentStep();

 signals:
  /// The step count changed, as the hidden count box holds it.
  void stepCountChanged(const QString& text);

 private:
  template <typename Op>
  void runListOperation(Op op);
  void showMessage(const QString& text);

  StepGrid& grid_;
  StepEditor& editor_;
  StepEditorPanel* panel_;
  StepListView* list_;
  std::function<void(const QString&)> messageHandler_;
};

}  // namespace kv
