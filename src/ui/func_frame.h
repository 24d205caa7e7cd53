#pragma once
// The frame of one step function (FuncFrame) and the shared Stop Condition
// frame (Frame11). Both are built from the editor's field table, so captions,
// unit labels and start texts come from one place.

#include <QGroupBox>
#include <map>

#include "steps/step_editor.h"

class QButtonGroup;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace kv {

class SubTableView;

/// A caption, its entry box and its unit label.
struct FieldRow {
  QLabel* caption = nullptr;
  QLineEdit* edit = nullptr;
  QLabel* unit = nullptr;
};

class FieldWidgets : public QGroupBox {
  Q_OBJECT

 public:
  using QGroupBox::QGroupBox;

  const std::map<EditorField, FieldRow>& fields() const { return fields_; }
  QLineEdit* edit(EditorField f) const;

 signals:
  /// The editor's state changed in a way that other parts of the panel show.
  void changed();

 protected:
  /// Adds the field's row at (row, group) of `layout`: caption, box, unit.
  void addField(StepEditor& editor, EditorField f, QGridLayout* layout, int row, int group);
  /// The box texts as the editor holds them (a box being typed in keeps its
  /// cursor: its text is already the editor's).
  void refreshFields(const StepEditor& editor);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::map<EditorField, FieldRow> fields_;
  StepEditor* editor_ = nullptr;
};

class FuncFrame : public FieldWidgets {
  Q_OBJECT

 public:
  FuncFrame(StepEditor& editor, StepFunction function, QWidget* parent = nullptr);

  StepFunction function() const { return function_; }
  QButtonGroup* loadModeGroup() const { return modes_; }
  QComboBox* seqLoadTypeCombo() const { return seqType_; }
  SubTableView* subTable() const { return table_; }
  void refresh();

 private:
  StepEditor& editor_;
  StepFunction function_;
  QButtonGroup* modes_ = nullptr;
  QComboBox* seqType_ = nullptr;
  SubTableView* table_ = nullptr;
};

class StopConditionFrame : public FieldWidgets {
  Q_OBJECT

 public:
  explicit StopConditionFrame(StepEditor& editor, QWidget* parent = nullptr);
  void refresh();

 private:
  StepEditor& editor_;
};

}  // namespace kv
