// Rows built from the editor panel: which cells each function writes and in
// which form.
#include <gtest/gtest.h>

#include <string>

#include "steps/step_editor.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

// Every field holds its own control name, so a cell shows which field it came
// from; number-form cells turn such text into "0".
StepEditor EditorWithNamedFields() {
  StepEditor editor;
  for (const auto& info : kEditorFields) {
    editor.SetField(info.field, std::string(info.control));
  }
  editor.ClickLoadMode(LoadModeGroup::Discharge, 1);
  editor.ClickLoadMode(LoadModeGroup::Dynamic, 3);
  editor.ClickLoadMode(LoadModeGroup::Normal, 2);
  return editor;
}

// Every function's row from such a panel, against a golden file: which cell
// each field fills, and in which form.
TEST(FillStepRow, TakesEachCellFromItsField) {
  std::string rows;
  for (const std::string_view function : kStepFunctionNames) {
    StepEditor editor = EditorWithNamedFields();
    ASSERT_TRUE(editor.SelectFunction(function));
    if (function == "Sequence Load") {
      editor.SetSeqLoadType("CP");
    }
    const TestStep row = editor.BuildStepRow().row;
    EXPECT_EQ(row[kColStepNo], "");
    rows += row[kColFunction] + ":";
    for (int c = kColMode; c < kStepColumns; ++c) {
      if (!row[c].empty()) {
        rows += " " + std::string(kStepColumnHeaders[c]) + "=" + row[c];
      }
    }
    rows += "\n";
  }
  EXPECT_EQ(rows, test::Golden("steps/rows_from_fields.txt"));
}

TEST(FillStepRow, NumberTextAgainstTextAsTyped) {
  StepEditor editor;
  editor.SetField(EditorField::VStop, "1.50");
  editor.SetField(EditorField::TStop, " 20.0");
  editor.SetField(EditorField::AhStop, "12V");
  editor.SetField(EditorField::DiscSinkValue, "");
  editor.SetField(EditorField::OcpStart, "");

  editor.SelectFunction("Discharge");
  TestStep row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColSinkValue], "0");
  EXPECT_EQ(row[kColVStop], "1.5");
  EXPECT_EQ(row[kColTStop], "20");
  EXPECT_EQ(row[kColAhStop], "12");

  editor.SelectFunction("Dynamic");
  row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColVStop], "1.50");
  EXPECT_EQ(row[kColTStop], " 20.0");
  EXPECT_EQ(row[kColAhStop], "12V");

  editor.SelectFunction("OCP");
  EXPECT_EQ(editor.BuildStepRow().row[kColStart], "");

  editor.SelectFunction("Normal");
  row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColVStop], "");
  EXPECT_EQ(row[kColTStop], "20");
  EXPECT_EQ(row[kColAhStop], "");

  // Rest shows only the time but writes the hidden fields as well.
  editor.SelectFunction("Rest");
  EXPECT_EQ(editor.StopCondition(), StopConditionView::TimeOnly);
  row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColVStop], "1.5");
  EXPECT_EQ(row[kColAhStop], "12");
}

TEST(FillStepRow, RampListsFollowTheTotalStepField) {
  StepEditor editor;
  editor.SelectFunction("Battery RAMP");
  SubTable& ramp = editor.Table(SubTableKind::Ramp);
  for (int k = 1; k <= 9; ++k) {
    ramp.SetCell(1, k, std::to_string(k));
    ramp.SetCell(2, k, std::to_string(10 * k));
  }
  ramp.SetCell(2, 2, "");

  // Still at its start text "0": the table shows 9 columns, the row takes none.
  EXPECT_EQ(ramp.Cols(), 10);
  TestStep row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColRampCc], "");
  EXPECT_EQ(row[kColRampTime], "");
  EXPECT_EQ(row[kColTotalStep], "0");

  editor.SetField(EditorField::RampTotalStep, "3");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColRampCc], ";1;2;3");
  EXPECT_EQ(row[kColRampTime], ";10;;30");
  EXPECT_EQ(row[kColTotalStep], "3");

  // A count typed but not yet committed cannot reach past the table.
  editor.SetField(EditorField::RampTotalStep, "7");
  EXPECT_EQ(editor.BuildStepRow().row[kColRampCc], ";1;2;3");
}

TEST(FillStepRow, SequenceListsUseTheSequenceTable) {
  StepEditor editor;
  editor.SelectFunction("Sequence Load");
  editor.SetField(EditorField::SeqLoadTotalStep, "2");
  editor.LeaveTotalStep(SubTableKind::SeqLoad);
  SubTable& seq = editor.Table(SubTableKind::SeqLoad);
  seq.SetCell(1, 1, "5");
  seq.SetCell(1, 2, "7.50");
  seq.SetCell(2, 1, "100");
  seq.SetCell(2, 2, "200");
  editor.SetField(EditorField::SeqLoadVth, "0.8");
  const TestStep row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColMode], "CC");
  EXPECT_EQ(row[kColRampCc], ";5;7.50");
  EXPECT_EQ(row[kColRampTime], ";100;200");
  EXPECT_EQ(row[kColTotalStep], "2");
  EXPECT_EQ(row[kColLoadOffV], "0.8");
}

TEST(FillStepRow, CycleRowsStopAtTheFirstEmptyHighCurrent) {
  StepEditor editor;
  editor.SelectFunction("Battery Cycle Life");
  SubTable& cycle = editor.Table(SubTableKind::CycleLife);
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 5; ++c) {
      cycle.SetCell(r, c, std::to_string(r * 10 + c));
    }
  }
  cycle.SetCell(1, 3, "");  // an empty value inside a taken row stays an entry
  TestStep row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColHigh], ";11;21;31");
  EXPECT_EQ(row[kColTHigh], ";;23;33");
  EXPECT_EQ(row[kColCycleCount], ";15;25;35");

  cycle.SetCell(2, 1, "");
  row = editor.BuildStepRow().row;
  EXPECT_EQ(row[kColHigh], ";11");
  EXPECT_EQ(row[kColLow], ";12");
  EXPECT_EQ(row[kColTHigh], ";");
  EXPECT_EQ(row[kColTLow], ";14");
  EXPECT_EQ(row[kColCycleCount], ";15");
}

TEST(FillStepRow, NoSelectionOrUnknownNameWritesOnlyTheFunction) {
  StepEditor editor;
  editor.SetOfferedFunctions({"Discharge", "Custom"});
  EXPECT_EQ(editor.SelectedFunction(), "");
  EXPECT_TRUE(editor.SelectFunction("Custom"));
  TestStep onlyTheFunction;
  onlyTheFunction[kColFunction] = "Custom";
  EXPECT_EQ(editor.BuildStepRow().row, onlyTheFunction);
}

struct BadTextCase {
  std::string_view function;
  EditorField field;
  std::string_view named;  // the caption the message must name
};
void PrintTo(const BadTextCase& c, std::ostream* os) {
  *os << c.function << " " << c.named;
}

class RefusesSeparatorsInText : public testing::TestWithParam<BadTextCase> {};

TEST_P(RefusesSeparatorsInText, NamesTheField) {
  StepEditor editor;
  editor.SelectFunction(GetParam().function);
  editor.SetField(GetParam().field, "1,5");
  const BuiltStep built = editor.BuildStepRow();
  EXPECT_NE(built.problem.find(GetParam().named), std::string::npos) << built.problem;
}

INSTANTIATE_TEST_SUITE_P(
    TextFields, RefusesSeparatorsInText,
    testing::Values(BadTextCase{"OCP", EditorField::OcpStop, "\"Stop\""},
                    BadTextCase{"Dynamic", EditorField::TStop, "\"Time\""},
                    BadTextCase{"Battery RAMP", EditorField::RampStart, "\"Start\""},
                    BadTextCase{"Sequence Load", EditorField::SeqLoadVth, "\"Vth\""},
                    BadTextCase{"CV with Power Limit", EditorField::CpCv, "\"CV Value\""}));

TEST(FillStepRow, NumberFieldsCannotCarryASeparator) {
  StepEditor editor;
  editor.SetField(EditorField::DiscSinkValue, "1,5");
  const BuiltStep built = editor.BuildStepRow();
  EXPECT_EQ(built.problem, "");
  EXPECT_EQ(built.row[kColSinkValue], "1");
}

TEST(FillStepRow, RefusesSeparatorsInSubStepEntries) {
  StepEditor editor;
  editor.SelectFunction("Battery RAMP");
  editor.SetField(EditorField::RampTotalStep, "2");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.Table(SubTableKind::Ramp).SetCell(2, 2, "5;6");
  EXPECT_NE(editor.BuildStepRow().problem.find("ramp table cell Time(s) of sub-step 2"),
            std::string::npos);

  editor.SelectFunction("Battery Cycle Life");
  editor.Table(SubTableKind::CycleLife).SetCell(1, 1, "1");
  editor.Table(SubTableKind::CycleLife).SetCell(1, 5, "2,3");
  EXPECT_NE(editor.BuildStepRow().problem.find("cycle table cell Cycle of sub-step 1"),
            std::string::npos);

  // Cells the row does not take do not matter.
  editor.Table(SubTableKind::CycleLife).SetCell(1, 1, "");
  EXPECT_EQ(editor.BuildStepRow().problem, "");
}

}  // namespace
}  // namespace kv
