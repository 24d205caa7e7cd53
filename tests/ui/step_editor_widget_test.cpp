// The step editing widgets, clicked through as an operator would.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QUndoStack>
#include <memory>

#include "ui/frozen_columns_view.h"
#include "ui/func_frame.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"
#include "ui/step_grid_model.h"
#include "ui/step_list_view.h"
#include "ui/sub_table_view.h"

inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace kv {
namespace {

class StepEditorWidgetTest : public testing::Test {
 protected:
  void SetUp() override {
    widget_ = std::make_unique<StepEditorWidget>(grid_, editor_);
    widget_->setMessageHandler([this](const QString& m) { messages_ << m; });
    widget_->resize(1400, 600);
    widget_->show();
    widget_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(widget_.get()));
  }

  StepEditorPanel* panel() const { return widget_->panel(); }
  QTableView* stepTable() const { return widget_->listView()->table(); }

  template <typename T>
  T* child(const char* name) const {
    T* found = widget_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  void selectFunction(const QString& name) {
    QComboBox* combo = panel()->functionCombo();
    const int index = combo->findText(name);
    ASSERT_GE(index, 0) << name.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  // Replaces a box's text by typing, as a focused box with its text selected.
  static void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

  void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  // A real double-click is a click, then the second press as a double-click.
  static void clickAt(QAbstractItemView* view, const QModelIndex& index, bool twice = false) {
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (twice) {
      QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }
  }
  static void clickCell(SubTableView* view, int row, int col) {
    clickAt(view, view->model()->index(row, col));
  }
  QModelIndex cellAt(int gridRow, int col) const {
    return widget_->listView()->model()->indexOfCell(gridRow, col);
  }

  StepGrid grid_;
  StepEditor editor_;
  std::unique_ptr<StepEditorWidget> widget_;
  QStringList messages_;
};

TEST_F(StepEditorWidgetTest, TheChosenFunctionShowsItsFrameAndTheStopConditionsItUses) {
  EXPECT_TRUE(panel()->frame(StepFunction::Discharge)->isVisible());
  struct Case {
    StepFunction function;
    bool stopFrame;
    bool voltageAndCapacity;
  };
  for (const Case& c :
       {Case{StepFunction::Rest, true, false}, Case{StepFunction::Normal, true, true},
        Case{StepFunction::Ocp, false, false}}) {
    selectFunction(QString::fromUtf8(StepFunctionName(c.function).data()));
    EXPECT_TRUE(panel()->frame(c.function)->isVisible());
    EXPECT_FALSE(panel()->frame(StepFunction::Discharge)->isVisible());
    EXPECT_EQ(child<QGroupBox>("Frame11")->isVisible(), c.stopFrame);
    EXPECT_EQ(child<QLineEdit>("DiscVStopText")->isVisible(), c.voltageAndCapacity);
    EXPECT_EQ(child<QLineEdit>("DiscAhStopText")->isVisible(), c.voltageAndCapacity);
    EXPECT_EQ(child<QLabel>("DiscVStopTextUnit")->isVisible(), c.voltageAndCapacity);
  }

  auto* type = child<QComboBox>("SeqLoadTypeCombo");
  type->setCurrentIndex(1);
  emit type->activated(1);
  EXPECT_EQ(editor_.SeqLoadType(), "CP");
  selectFunction("Sequence Load");
  EXPECT_EQ(type->currentText(), "CC");

  selectFunction("Dynamic");
  QButtonGroup* modes = panel()->frame(StepFunction::Dynamic)->loadModeGroup();
  EXPECT_TRUE(modes->button(kHiddenDynamicMode)->isHidden());
  QTest::mouseClick(modes->button(1), Qt::LeftButton);
  EXPECT_EQ(editor_.LoadMode(LoadModeGroup::Dynamic), 1);
  EXPECT_EQ(child<QLabel>("DyncHUnitLabel")->text(), "Ohm");
  EXPECT_EQ(child<QLabel>("DyncLUnitLabel")->text(), "Ohm");
  EXPECT_EQ(child<QLabel>("DiscUnitLabel")->text(), "A");
}

TEST_F(StepEditorWidgetTest, AddInsertMoveAndDeleteSteps) {
  QSignalSpy counts(widget_.get(), &StepEditorWidget::stepCountChanged);
  auto* value = child<QLineEdit>("DiscSinkValueText");
  auto values = [this] {
    QStringList v;
    for (int r = 1; r <= grid_.StepCount(); ++r) {
      v << cellAt(r, kColSinkValue).data().toString();
    }
    return v.join(' ');
  };
  for (const char* v : {"1", "2", "3"}) {
    typeInto(value, v);
    click(widget_->listView()->addButton());
  }
  EXPECT_EQ(values(), "1 2 3");
  ASSERT_EQ(counts.size(), 3);
  EXPECT_EQ(counts.last().at(0).toString(), "3");

  // A click shows the step; each list button acts on the clicked or current
  // step, and leaves the step it edited selected; Ctrl+Z and Ctrl+Shift+Z
  // take changes back and make them again.
  StepListView* list = widget_->listView();
  struct Op {
    int clickedRow;       // 0: none
    const char* typed;    // into the load value, after the click
    QPushButton* button;  // null: the key below
    QKeyCombination key;
    const char* values;
    int currentRow;
  };
  const QKeyCombination none{}, undo{Qt::CTRL | Qt::Key_Z}, redo{Qt::CTRL | Qt::SHIFT | Qt::Key_Z};
  for (const Op& op :
       {Op{2, "9", list->insertButton(), none, "1 9 2 3", 2},
        Op{0, nullptr, list->moveUpButton(), none, "9 1 2 3", 1},
        Op{3, "7", list->replaceButton(), none, "9 1 7 3", 3},
        Op{0, nullptr, list->moveDownButton(), none, "9 1 3 7", 4},
        Op{0, nullptr, list->removeButton(), none, "9 1 3", 3},
        Op{0, nullptr, nullptr, undo, "9 1 3 7", 4}, Op{0, nullptr, nullptr, undo, "9 1 7 3", 3},
        Op{0, nullptr, nullptr, redo, "9 1 3 7", 4}}) {
    SCOPED_TRACE(op.values);
    if (op.clickedRow > 0) {
      clickAt(stepTable(), cellAt(op.clickedRow, 4));
      EXPECT_EQ(value->text(), cellAt(op.clickedRow, kColSinkValue).data().toString());
    }
    if (op.typed != nullptr) {
      typeInto(value, op.typed);
    }
    if (op.button != nullptr) {
      click(op.button);
    } else {
      QTest::keyClick(stepTable(), op.key.key(), op.key.keyboardModifiers());
    }
    EXPECT_EQ(values(), op.values);
    EXPECT_EQ(grid_.CurrentRow(), op.currentRow);
    EXPECT_EQ(stepTable()->currentIndex().row() + 1, op.currentRow);
  }
  EXPECT_EQ(counts.last().at(0).toString(), "4");
  // While a run goes nothing changes the list, not even an undo.
  widget_->setListLocked(true);
  EXPECT_FALSE(list->addButton()->isEnabled());
  QTest::keyClick(stepTable(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(values(), "9 1 3 7");
  EXPECT_TRUE(messages_.isEmpty());
  widget_->setListLocked(false);

  // Scrolled to the right end, the step number and function stay in view and
  // a click on them still picks the step.
  QScrollBar* across = stepTable()->horizontalScrollBar();
  across->setValue(across->maximum());
  ASSERT_GT(across->value(), 0);
  QTableView* fixed = static_cast<FrozenColumnsView*>(stepTable())->frozenView();
  EXPECT_TRUE(fixed->isVisible());
  EXPECT_EQ(fixed->columnViewportPosition(kColFunction), stepTable()->columnWidth(kColStepNo));
  EXPECT_TRUE(fixed->isColumnHidden(kColMode));
  clickAt(fixed, cellAt(2, kColFunction));
  EXPECT_EQ(grid_.CurrentRow(), 2);
  EXPECT_EQ(value->text(), "1");
}

TEST_F(StepEditorWidgetTest, RampCellsAreEditedInPlace) {
  selectFunction("Battery RAMP");
  SubTableView* ramp = panel()->frame(StepFunction::BatteryRamp)->subTable();
  ASSERT_TRUE(ramp->isVisible());
  // Enter and leaving the box both size the table.
  auto* total = child<QLineEdit>("RampTotalStepText");
  typeInto(total, "40");
  QTest::keyClick(total, Qt::Key_Return);
  EXPECT_EQ(total->text(), "9");
  typeInto(total, "3");
  child<QLineEdit>("RampStartText")->setFocus(Qt::TabFocusReason);
  // The view draws as many columns as its header holds, not as the table has.
  EXPECT_EQ(ramp->horizontalHeader()->count(), 4);

  QLineEdit* box = ramp->inputBox();
  clickCell(ramp, 0, 2);  // the title row opens nothing
  EXPECT_FALSE(box->isVisible());

  clickCell(ramp, 1, 1);
  ASSERT_TRUE(box->isVisible());
  EXPECT_EQ(box->geometry(), ramp->visualRect(ramp->model()->index(1, 1)));
  QTest::keyClicks(box, "2.5");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(ramp->model()->index(1, 1).data().toString(), "2.5");
  // A cell edit is undone and made again like a change of the list, but it
  // changes no step of it.
  widget_->undoStack()->undo();
  EXPECT_EQ(ramp->model()->index(1, 1).data().toString(), "");
  widget_->undoStack()->redo();
  EXPECT_EQ(ramp->model()->index(1, 1).data().toString(), "2.5");
  EXPECT_FALSE(widget_->listChangedSinceClean());
  clickCell(ramp, 1, 1);
  QTest::keyClicks(box, "7");
  QTest::keyClick(box, Qt::Key_Escape);  // cancels: the cell keeps its value
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(ramp->model()->index(1, 1).data().toString(), "2.5");

  clickCell(ramp, 2, 1);
  ASSERT_TRUE(box->isVisible());
  QTest::keyClicks(box, "10");
  clickCell(ramp, 2, 2);  // taking the focus commits, and opens nothing yet
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(editor_.Table(SubTableKind::Ramp).Cell(2, 1), "10");
  EXPECT_EQ(ramp->currentIndex(), ramp->model()->index(2, 2));
  clickCell(ramp, 2, 2);
  ASSERT_TRUE(box->isVisible());
  EXPECT_EQ(editor_.EditTarget(), (SubTableEditTarget{2, 2}));

  // Leaving the box for another field commits it as well.
  QTest::keyClicks(box, "20");
  child<QLineEdit>("RampStartText")->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(editor_.Table(SubTableKind::Ramp).Cell(2, 2), "20");

  // The sequence table too drops the entries that will not be saved at once.
  selectFunction("Sequence Load");
  SubTableView* sequence = panel()->frame(StepFunction::SequenceLoad)->subTable();
  for (const auto& [count, columns] : {std::pair{"6", 7}, std::pair{"2", 3}}) {
    typeInto(child<QLineEdit>("SeqLoadTotalStepText"), count);
    QTest::keyClick(child<QLineEdit>("SeqLoadTotalStepText"), Qt::Key_Return);
    EXPECT_EQ(sequence->horizontalHeader()->count(), columns) << count;
  }
}

TEST_F(StepEditorWidgetTest, ARefusedStepIsToldAndADoubleClickShowsTheStep) {
  QSignalSpy status(widget_.get(), &StepEditorWidget::statusMessage);
  selectFunction("OCP");
  typeInto(child<QLineEdit>("OCPStopText"), "12");
  click(widget_->listView()->addButton());
  const QString ih = child<QLineEdit>("OCPIhText")->text();
  typeInto(child<QLineEdit>("OCPIhText"), "1,5");
  EXPECT_TRUE(child<QLineEdit>("OCPIhText")->property("fieldProblem").toBool());
  EXPECT_TRUE(child<QLineEdit>("OCPIhText")->toolTip().contains("use a point"));
  click(widget_->listView()->addButton());
  ASSERT_EQ(status.size(), 1);
  const QString told = status[0][0].toString();
  EXPECT_TRUE(told.contains("\"IH\"") && told.contains("use a point")) << told.toStdString();
  EXPECT_EQ(grid_.StepCount(), 1);
  typeInto(child<QLineEdit>("OCPIhText"), ih);
  EXPECT_FALSE(child<QLineEdit>("OCPIhText")->property("fieldProblem").toBool());
  selectFunction("Discharge");
  typeInto(child<QLineEdit>("OCPStopText"), "0");

  QSignalSpy doubleClicks(stepTable(), &QTableView::doubleClicked);
  clickAt(stepTable(), cellAt(1, 3), true);
  ASSERT_EQ(doubleClicks.size(), 1);
  EXPECT_EQ(panel()->functionCombo()->currentText(), "OCP");
  EXPECT_TRUE(panel()->frame(StepFunction::Ocp)->isVisible());
  EXPECT_EQ(child<QLineEdit>("OCPStopText")->text(), "12");
  EXPECT_TRUE(messages_.isEmpty());

  // After an identification that leaves OCP out, the step cannot be shown.
  editor_.SetOfferedFunctions({"Discharge", "Rest"});
  widget_->refresh();
  EXPECT_EQ(panel()->functionCombo()->count(), 2);
  EXPECT_EQ(panel()->functionCombo()->currentText(), "");
  clickAt(stepTable(), cellAt(1, 3), true);
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_EQ(messages_[0], "This function not availabel for this model, Please check it.)");
  // With nothing selected the list buttons add nothing, and say why.
  click(widget_->listView()->addButton());
  EXPECT_EQ(grid_.StepCount(), 1);
  EXPECT_TRUE(status.last()[0].toString().startsWith("Choose a function"));
}

}  // namespace
}  // namespace kv
