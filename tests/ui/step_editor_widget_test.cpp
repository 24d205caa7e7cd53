// The step editing widgets, clicked through as an operator would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <memory>

#include "steps/step_list_ops.h"
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

  void clickStep(int gridRow, int col) {
    const QRect cell =
        stepTable()->visualRect(widget_->listView()->model()->indexOfCell(gridRow, col));
    QTest::mouseClick(stepTable()->viewport(), Qt::LeftButton, {}, cell.center());
  }

  static void clickCell(SubTableView* view, int row, int col) {
    const QRect cell = view->visualRect(view->model()->index(row, col));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
  }

  // A real double-click: a click, then the second press as a double-click.
  void doubleClickStep(int gridRow, int col) {
    const QRect cell =
        stepTable()->visualRect(widget_->listView()->model()->indexOfCell(gridRow, col));
    QTest::mouseClick(stepTable()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(stepTable()->viewport(), Qt::LeftButton, {}, cell.center());
  }

  QString shownCell(int gridRow, int col) const {
    return stepTable()
        ->model()
        ->data(widget_->listView()->model()->indexOfCell(gridRow, col))
        .toString();
  }

  StepGrid grid_;
  StepEditor editor_;
  std::unique_ptr<StepEditorWidget> widget_;
  QStringList messages_;
};

TEST_F(StepEditorWidgetTest, StartsWithDischargeAndEveryFieldAtItsStartText) {
  EXPECT_EQ(panel()->functionCombo()->count(), kStepFunctionCount);
  EXPECT_EQ(panel()->functionCombo()->currentText(), "Discharge");
  EXPECT_TRUE(panel()->frame(StepFunction::Discharge)->isVisible());
  for (int i = 0; i < kStepFunctionCount; ++i) {
    const auto f = static_cast<StepFunction>(i);
    EXPECT_EQ(panel()->frame(f)->title().toStdString(), StepFunctionName(f));
  }
  for (const auto& info : kEditorFields) {
    auto* edit = child<QLineEdit>(info.control.data());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().toStdString(), info.startText) << info.control;
    auto* frame = qobject_cast<FieldWidgets*>(edit->parentWidget());
    ASSERT_NE(frame, nullptr);
    const FieldRow& row = frame->fields().at(info.field);
    EXPECT_EQ(row.caption->text().toStdString(), info.caption) << info.control;
    const std::string unit = info.unitGroup == kNoUnitGroup ? std::string(info.unit) : "A";
    EXPECT_EQ(row.unit->text().toStdString(), unit) << info.control;
  }
  EXPECT_EQ(child<QGroupBox>("Frame11")->title(), "Stop Condition");
}

TEST_F(StepEditorWidgetTest, SelectingAFunctionShowsItsFrameAndStopConditions) {
  auto* frame11 = child<QGroupBox>("Frame11");
  auto* voltage = child<QLineEdit>("DiscVStopText");
  auto* time = child<QLineEdit>("DiscTStopText");
  auto* capacity = child<QLineEdit>("DiscAhStopText");

  selectFunction("Rest");
  EXPECT_TRUE(panel()->frame(StepFunction::Rest)->isVisible());
  EXPECT_FALSE(panel()->frame(StepFunction::Discharge)->isVisible());
  EXPECT_TRUE(frame11->isVisible());
  EXPECT_TRUE(time->isVisible());
  EXPECT_FALSE(voltage->isVisible());
  EXPECT_FALSE(capacity->isVisible());
  EXPECT_FALSE(child<QLabel>("DiscVStopTextUnit")->isVisible());

  selectFunction("Normal");
  EXPECT_TRUE(voltage->isVisible());
  EXPECT_TRUE(capacity->isVisible());

  selectFunction("OCP");
  EXPECT_TRUE(panel()->frame(StepFunction::Ocp)->isVisible());
  EXPECT_FALSE(frame11->isVisible());

  auto* type = child<QComboBox>("SeqLoadTypeCombo");
  type->setCurrentIndex(1);
  emit type->activated(1);
  EXPECT_EQ(editor_.SeqLoadType(), "CP");
  selectFunction("Sequence Load");
  EXPECT_EQ(type->currentText(), "CC");
  EXPECT_EQ(editor_.Table(SubTableKind::SeqLoad).Cell(1, 0), "CC(A)");
}

TEST_F(StepEditorWidgetTest, LoadModeOptionsSetTheUnitLabels) {
  selectFunction("Dynamic");
  QButtonGroup* modes = panel()->frame(StepFunction::Dynamic)->loadModeGroup();
  EXPECT_TRUE(modes->button(kHiddenDynamicMode)->isHidden());
  QTest::mouseClick(modes->button(1), Qt::LeftButton);
  EXPECT_EQ(child<QLabel>("DyncHUnitLabel")->text(), "Ohm");
  EXPECT_EQ(child<QLabel>("DyncLUnitLabel")->text(), "Ohm");
  EXPECT_EQ(child<QLabel>("DiscUnitLabel")->text(), "A");
  EXPECT_EQ(editor_.LoadMode(LoadModeGroup::Dynamic), 1);
}

TEST_F(StepEditorWidgetTest, AddInsertMoveAndDeleteSteps) {
  QSignalSpy counts(widget_.get(), &StepEditorWidget::stepCountChanged);
  auto* value = child<QLineEdit>("DiscSinkValueText");
  for (const char* v : {"1", "2", "3"}) {
    typeInto(value, v);
    click(widget_->listView()->addButton());
  }
  EXPECT_EQ(stepTable()->model()->rowCount(), 4);
  EXPECT_EQ(shownCell(3, kColStepNo), "3");
  EXPECT_EQ(shownCell(3, kColSinkValue), "3");
  ASSERT_EQ(counts.size(), 3);
  EXPECT_EQ(counts.last().at(0).toString(), "3");

  clickStep(2, 4);
  EXPECT_EQ(grid_.CurrentRow(), 2);
  typeInto(value, "9");
  click(widget_->listView()->insertButton());
  auto values = [this] {
    QStringList v;
    for (int r = 1; r <= grid_.StepCount(); ++r) {
      EXPECT_EQ(shownCell(r, kColStepNo), QString::number(r));
      v << shownCell(r, kColSinkValue);
    }
    return v.join(' ');
  };
  EXPECT_EQ(values(), "1 9 2 3");
  EXPECT_EQ(stepTable()->currentIndex().row() + 1, 4);

  click(widget_->listView()->moveUpButton());
  EXPECT_EQ(values(), "1 9 3 2");
  EXPECT_EQ(stepTable()->currentIndex().row() + 1, 3);

  clickStep(1, 1);
  click(widget_->listView()->moveDownButton());
  EXPECT_EQ(values(), "9 1 3 2");
  EXPECT_EQ(grid_.CurrentRow(), 2);

  click(widget_->listView()->removeButton());
  EXPECT_EQ(values(), "9 3 2");
  EXPECT_EQ(counts.last().at(0).toString(), "3");
  EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(StepEditorWidgetTest, RefusedStepShowsWhichFieldIsWrong) {
  selectFunction("OCP");
  typeInto(child<QLineEdit>("OCPIhText"), "1,5");
  click(widget_->listView()->addButton());
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_TRUE(messages_[0].contains("\"IH\"")) << messages_[0].toStdString();
  EXPECT_EQ(grid_.StepCount(), 0);
}

TEST_F(StepEditorWidgetTest, RampCellsAreEditedInPlace) {
  selectFunction("Battery RAMP");
  SubTableView* ramp = panel()->frame(StepFunction::BatteryRamp)->subTable();
  ASSERT_TRUE(ramp->isVisible());
  auto* total = child<QLineEdit>("RampTotalStepText");
  typeInto(total, "3");
  QTest::keyClick(total, Qt::Key_Return);
  EXPECT_EQ(ramp->model()->columnCount(), 4);

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

  click(widget_->listView()->addButton());
  EXPECT_EQ(grid_.Cell(1, kColRampCc), ";2.5;;");
  EXPECT_EQ(grid_.Cell(1, kColRampTime), ";10;20;");
}

TEST_F(StepEditorWidgetTest, TotalStepFieldClampsWhenLeft) {
  selectFunction("Sequence Load");
  auto* total = child<QLineEdit>("SeqLoadTotalStepText");
  typeInto(total, "40");
  child<QLineEdit>("SeqLoadVthText")->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(total->text(), "16");
  typeInto(total, "abc");
  child<QLineEdit>("SeqLoadVthText")->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(total->text(), "2");
  EXPECT_EQ(panel()->frame(StepFunction::SequenceLoad)->subTable()->model()->columnCount(), 3);
}

TEST_F(StepEditorWidgetTest, DoubleClickShowsTheStep) {
  selectFunction("OCP");
  typeInto(child<QLineEdit>("OCPStopText"), "12");
  click(widget_->listView()->addButton());
  selectFunction("Discharge");
  typeInto(child<QLineEdit>("OCPStopText"), "0");

  QSignalSpy doubleClicks(stepTable(), &QTableView::doubleClicked);
  doubleClickStep(1, 3);
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
  doubleClickStep(1, 3);
  ASSERT_EQ(messages_.size(), 1);
  EXPECT_EQ(messages_[0], "This function not availabel for this model, Please check it.)");
  // With nothing selected the list buttons add nothing.
  click(widget_->listView()->addButton());
  EXPECT_EQ(grid_.StepCount(), 1);
}

TEST_F(StepEditorWidgetTest, AFullStepListOpensQuickly) {
  widget_.reset();
  TestStep step;
  step[kColFunction] = "Discharge";
  grid_.AssignSteps(std::vector<TestStep>(kMaxStepCount - 1, step));
  QElapsedTimer timer;
  timer.start();
  widget_ = std::make_unique<StepEditorWidget>(grid_, editor_);
  widget_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widget_.get()));
  stepTable()->scrollToBottom();
  QApplication::processEvents();
  RecordProperty("open_ms", static_cast<int>(timer.elapsed()));
  EXPECT_EQ(stepTable()->model()->rowCount(), kMaxStepCount);

  grid_.SetCurrentCell(kMaxStepCount - 1, 0);
  widget_->addStep();
  EXPECT_EQ(shownCell(kMaxStepCount, kColStepNo), "32767");
}

}  // namespace
}  // namespace kv
