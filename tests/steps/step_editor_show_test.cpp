// Loading a step of the list back into the editor panel.
#include <gtest/gtest.h>

#include <string>

#include "steps/step_editor.h"
#include "steps/step_list_ops.h"

namespace kv {
namespace {

// A grid with one step row holding `cells` (function in column 1).
StepGrid GridWith(const TestStep& step) {
  StepGrid grid;
  grid.AssignSteps({step});
  grid.SetCurrentCell(1, 0);
  return grid;
}

TestStep Step(std::string_view function, std::initializer_list<std::pair<int, const char*>> cells) {
  TestStep step;
  step[kColStepNo] = "1";
  step[kColFunction] = std::string(function);
  for (const auto& [col, text] : cells) {
    step[col] = text;
  }
  return step;
}

// A Battery Cycle Life step with the given High, Low, T-High, T-Low and
// Cycle Count lists.
TestStep CycleStep(const char* high, const char* low, const char* tHigh, const char* tLow,
                   const char* counts) {
  return Step("Battery Cycle Life", {{kColHigh, high},
                                     {kColLow, low},
                                     {kColTHigh, tHigh},
                                     {kColTLow, tLow},
                                     {kColCycleCount, counts}});
}

// A panel whose every field holds text no row will ever carry, so a field the
// loading forgets shows up.
StepEditor StalePanel() {
  StepEditor editor;
  for (const auto& info : kEditorFields) {
    editor.SetField(info.field, "stale");
  }
  editor.ClickLoadMode(LoadModeGroup::Discharge, 3);
  editor.ClickLoadMode(LoadModeGroup::Dynamic, 1);
  editor.ClickLoadMode(LoadModeGroup::Normal, 1);
  return editor;
}

// A panel whose fields are all distinct, with filled sub-tables.
StepEditor FilledPanel() {
  StepEditor editor;
  int n = 0;
  for (const auto& info : kEditorFields) {
    editor.SetField(info.field, std::to_string(++n) + ".50");
  }
  editor.ClickLoadMode(LoadModeGroup::Discharge, 1);
  editor.ClickLoadMode(LoadModeGroup::Dynamic, 3);
  editor.ClickLoadMode(LoadModeGroup::Normal, 2);
  editor.SetField(EditorField::RampTotalStep, "4");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.SetField(EditorField::SeqLoadTotalStep, "3");
  editor.LeaveTotalStep(SubTableKind::SeqLoad);
  for (int k = 1; k <= 4; ++k) {
    editor.Table(SubTableKind::Ramp).SetCell(1, k, "r" + std::to_string(k));
    editor.Table(SubTableKind::Ramp).SetCell(2, k, k == 2 ? "" : "t" + std::to_string(k));
    editor.Table(SubTableKind::SeqLoad).SetCell(1, k, "s" + std::to_string(k));
    editor.Table(SubTableKind::SeqLoad).SetCell(2, k, "m" + std::to_string(k));
  }
  for (int r = 1; r <= 2; ++r) {
    for (int c = 1; c <= 5; ++c) {
      editor.Table(SubTableKind::CycleLife).SetCell(r, c, std::to_string(r * 10 + c));
    }
  }
  return editor;
}

class ShowRoundTrip : public testing::TestWithParam<std::string_view> {};

TEST_P(ShowRoundTrip, RebuildsTheSameRow) {
  StepEditor source = FilledPanel();
  ASSERT_TRUE(source.SelectFunction(GetParam()));
  if (GetParam() == "Sequence Load") {
    source.SetSeqLoadType("CP");
  }
  StepGrid grid;
  ASSERT_TRUE(AddStep(grid, source).changed);
  grid.SetCurrentCell(1, 3);

  StepEditor shown = StalePanel();
  shown.SelectFunction("LOOP");
  const ShowStepResult result = shown.ShowStepInPanel(grid, grid.CurrentRow());
  ASSERT_TRUE(result.shown) << result.message;
  EXPECT_EQ(shown.SelectedFunction(), GetParam());
  EXPECT_EQ(shown.VisibleFrame(), static_cast<int>(*FindStepFunction(GetParam())));
  TestStep rebuilt = shown.BuildStepRow().row;
  rebuilt[kColStepNo] = "1";
  EXPECT_EQ(rebuilt, grid.Row(1));
}

INSTANTIATE_TEST_SUITE_P(AllFunctions, ShowRoundTrip, testing::ValuesIn(kStepFunctionNames));

TEST(ShowStepInPanel, ModeTextsSelectOptionsOrLeaveThem) {
  StepEditor editor;
  // A Dynamic "CV" row can only come from a file; it selects the hidden option.
  ASSERT_TRUE(editor.ShowStepInPanel(GridWith(Step("Dynamic", {{kColMode, "CV"}})), 1).shown);
  EXPECT_EQ(editor.LoadMode(LoadModeGroup::Dynamic), kHiddenDynamicMode);
  EXPECT_EQ(editor.UnitLabel(LoadModeGroup::Dynamic), "V");

  editor.ClickLoadMode(LoadModeGroup::Normal, 3);
  ASSERT_TRUE(editor.ShowStepInPanel(GridWith(Step("Normal", {{kColMode, "cc"}})), 1).shown);
  EXPECT_EQ(editor.LoadMode(LoadModeGroup::Normal), 3);
  EXPECT_EQ(editor.UnitLabel(LoadModeGroup::Normal), "W");
}

TEST(ShowStepInPanel, SubTablesKeepCellsBeyondTheShownEntries) {
  StepEditor editor;
  StepGrid grid;
  grid.AssignSteps({Step("Battery RAMP", {{kColRampCc, ";1;2;3;4"}, {kColRampTime, ";5;6;7;8"}}),
                    Step("Battery RAMP", {{kColRampCc, ";a;b"}, {kColRampTime, ";c;d"}})});
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 1).shown);
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 2).shown);
  const SubTable& ramp = editor.Table(SubTableKind::Ramp);
  EXPECT_EQ(ramp.Cols(), 10);
  EXPECT_EQ(ramp.Cell(1, 2), "b");
  EXPECT_EQ(ramp.Cell(1, 3), "3");
  EXPECT_EQ(ramp.Cell(2, 4), "8");
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "2");
  EXPECT_EQ(editor.BuildStepRow().row[kColRampCc], ";a;b");

  // The count comes from the list, never from the Total Step cell.
  ASSERT_TRUE(
      editor.ShowStepInPanel(GridWith(Step("Battery RAMP", {{kColTotalStep, "3"}})), 1).shown);
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "-1");
  EXPECT_EQ(editor.BuildStepRow().row[kColRampCc], "");
}

TEST(ShowStepInPanel, CycleRowOfOneEntryLeavesLaterRows) {
  StepEditor editor;
  editor.SelectFunction("Battery Cycle Life");
  for (int r = 1; r <= 3; ++r) {
    editor.Table(SubTableKind::CycleLife).SetCell(r, 1, "old" + std::to_string(r));
  }
  const StepGrid grid = GridWith(CycleStep(";9", ";8", ";7", ";6", ";5"));
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 1).shown);
  EXPECT_EQ(editor.Table(SubTableKind::CycleLife).Cell(1, 1), "9");
  EXPECT_EQ(editor.Table(SubTableKind::CycleLife).Cell(2, 1), "old2");
  EXPECT_EQ(editor.BuildStepRow().row[kColHigh], ";9;old2;old3");
}

// --- Failures: the loading stops where it failed, with the message ----------

void ExpectFailed(const ShowStepResult& result) {
  EXPECT_FALSE(result.shown);
  EXPECT_EQ(result.message, "This function not availabel for this model, Please check it.)");
}

TEST(ShowStepInPanelFails, FunctionNotOfferedChangesNothing) {
  StepEditor editor = StalePanel();
  editor.SetOfferedFunctions({"Discharge", "Rest"});
  const StepGrid grid = GridWith(Step("OCP", {{kColStart, "1"}}));
  ExpectFailed(editor.ShowStepInPanel(grid, 1));
  EXPECT_EQ(editor.SelectedFunction(), "");
  EXPECT_EQ(editor.VisibleFrame(), 0);
  for (const auto& info : kEditorFields) {
    EXPECT_EQ(editor.Field(info.field), "stale") << info.control;
  }
  // Neither the empty last row nor an unknown name can be shown.
  ExpectFailed(editor.ShowStepInPanel(grid, 2));
  ExpectFailed(editor.ShowStepInPanel(GridWith(Step("discharge", {})), 1));
}

TEST(ShowStepInPanelFails, SequenceModeOtherThanCcOrCp) {
  StepEditor editor = StalePanel();
  editor.SetSeqLoadType("CP");
  editor.Table(SubTableKind::SeqLoad).SetCell(1, 1, "kept");
  const StepGrid grid =
      GridWith(Step("Sequence Load", {{kColMode, "CR"}, {kColRampCc, ";1"}, {kColRampTime, ";2"}}));
  ExpectFailed(editor.ShowStepInPanel(grid, 1));
  // Selecting the function has already reset the type.
  EXPECT_EQ(editor.SelectedFunction(), "Sequence Load");
  EXPECT_EQ(editor.SeqLoadType(), "CC");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(1, 1), "kept");
  EXPECT_EQ(editor.Field(EditorField::SeqLoadVth), "stale");
}

TEST(ShowStepInPanelFails, RampListLongerThanTheTable) {
  StepEditor editor = StalePanel();
  editor.SetField(EditorField::RampTotalStep, "3");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  const StepGrid grid = GridWith(
      Step("Battery RAMP",
           {{kColRampCc, ";1;2;3;4;5"}, {kColRampTime, ";6;7;8;9;10"}, {kColSinkValue, "0.5"}}));
  ExpectFailed(editor.ShowStepInPanel(grid, 1));
  const SubTable& ramp = editor.Table(SubTableKind::Ramp);
  EXPECT_EQ(ramp.Cols(), 4);
  EXPECT_EQ(ramp.Cell(1, 3), "3");
  EXPECT_EQ(ramp.Cell(2, 3), "8");
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "3");
  EXPECT_EQ(editor.Field(EditorField::RampStart), "stale");
}

TEST(ShowStepInPanelFails, RampTimeShorterThanRampCc) {
  StepEditor editor = StalePanel();
  editor.Table(SubTableKind::Ramp).SetCell(2, 2, "old");
  const StepGrid grid =
      GridWith(Step("Battery RAMP", {{kColRampCc, ";1;2;3"}, {kColRampTime, ";10"}}));
  ExpectFailed(editor.ShowStepInPanel(grid, 1));
  const SubTable& ramp = editor.Table(SubTableKind::Ramp);
  EXPECT_EQ(ramp.Cell(1, 1), "1");
  EXPECT_EQ(ramp.Cell(2, 1), "10");
  EXPECT_EQ(ramp.Cell(1, 2), "2");  // written before its time was missed
  EXPECT_EQ(ramp.Cell(2, 2), "old");
  EXPECT_EQ(ramp.Cell(1, 3), "");
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "stale");
}

TEST(ShowStepInPanelFails, CycleListShorterThanHighOrLongerThanTheTable) {
  StepEditor editor = StalePanel();
  const StepGrid shortLow = GridWith(CycleStep(";1;2", ";3", ";4;5", ";6;7", ";8;9"));
  ExpectFailed(editor.ShowStepInPanel(shortLow, 1));
  const SubTable& cycle = editor.Table(SubTableKind::CycleLife);
  EXPECT_EQ(cycle.Cell(1, 5), "8");
  EXPECT_EQ(cycle.Cell(2, 1), "2");
  EXPECT_EQ(cycle.Cell(2, 2), "");
  EXPECT_EQ(editor.Field(EditorField::CycleRepeat), "stale");

  const char* four = ";1;2;3;4";
  const StepGrid fourRows = GridWith(CycleStep(four, four, four, four, four));
  ExpectFailed(editor.ShowStepInPanel(fourRows, 1));
  EXPECT_EQ(cycle.Cell(3, 5), "3");
}

}  // namespace
}  // namespace kv
