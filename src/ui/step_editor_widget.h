#pragma once
// The whole step editing area: the editor panel, the list buttons and the
// step list. The main window embeds it and owns the grid and the editor it
// shows, since the runner and the step files use them as well.

#include <QWidget>
#include <functional>

#include "steps/step_list_ops.h"

class QUndoStack;

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
  /// Undo and Redo of the list's changes (Ctrl+Z, Ctrl+Shift+Z).
  QUndoStack* undoStack() const { return undo_; }
  /// Whether the undo stack holds a change of the list (not only of the
  /// editor's sub-tables) between its clean state and now.
  bool listChangedSinceClean() const;
  /// While a run goes the runner reads the rows it runs: nothing may change
  /// them, not even an undo.
  void setListLocked(bool locked);

 public slots:
  /// Shows the editor and the grid again after they changed from outside.
  void refresh();
  void addStep();
  void insertStep();
  void replaceStep();
  void removeStep();
  void moveStepUp();
  void moveStepDown();
  /// Loads the grid's current step into the panel.
  void showCurrentStep();

 signals:
  /// The step count changed, as the hidden count box holds it.
  void stepCountChanged(const QString& text);
  /// Why a list button did nothing, or what a click could not show: for the
  /// status line, not a box.
  void statusMessage(const QString& text);

 private:
  /// Runs one list operation; a change goes on the undo stack, a refusal to
  /// the status line.
  void runListOperation(const std::function<StepListResult()>& op);
  /// After any change of the list, done or undone: the edited step is the
  /// selected one, and shown.
  void followGrid(int stepsBefore);
  void showMessage(const QString& text);

  StepGrid& grid_;
  StepEditor& editor_;
  StepEditorPanel* panel_;
  StepListView* list_;
  QUndoStack* undo_;
  std::function<void(const QString&)> messageHandler_;
};

}  // namespace kv
