// Rows built from the editor panel, and steps of the list loaded back into it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "steps/step_editor.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

// A text no row here carries; a number, so that a number-form cell tells it
// from the "0" that a control name turns into.
constexpr const char* kStale = "9";

TestStep Step(std::string_view function, std::initializer_list<std::pair<int, const char*>> cells) {
  TestStep step;
  step[kColFunction] = std::string(function);
  for (const auto& [col, text] : cells) {
    step[col] = text;
  }
  return step;
}

TestStep CycleStep(const char* high, const char* low, const char* tHigh, const char* tLow,
                   const char* counts) {
  return Step("Battery Cycle Life", {{kColHigh, high},
                                     {kColLow, low},
                                     {kColTHigh, tHigh},
                                     {kColTLow, tLow},
                                     {kColCycleCount, counts}});
}

StepGrid GridWith(std::vector<TestStep> steps) {
  StepGrid grid;
  grid.AssignSteps(std::move(steps));
  return grid;
}

// Every field holds its own control name, so a cell shows which field it came
// from; number-form cells turn such text into "0". The sub-tables hold more
// than the rows take: entries past the counts, and a cycle row after the first
// one without a high current.
StepEditor NamedPanel() {
  StepEditor editor;
  for (const auto& info : kEditorFields) {
    editor.SetField(info.field, std::string(info.control));
  }
  editor.ClickLoadMode(LoadModeGroup::Discharge, 1);
  editor.ClickLoadMode(LoadModeGroup::Dynamic, 3);
  editor.ClickLoadMode(LoadModeGroup::Normal, 2);
  editor.SetField(EditorField::RampTotalStep, "3");
  editor.SetField(EditorField::SeqLoadTotalStep, "2");
  for (int k = 1; k <= 9; ++k) {
    editor.Table(SubTableKind::Ramp).SetCell(1, k, "r" + std::to_string(k));
    editor.Table(SubTableKind::Ramp).SetCell(2, k, k == 2 ? "" : "t" + std::to_string(k));
    editor.Table(SubTableKind::SeqLoad).SetCell(1, k, "s" + std::to_string(k));
    editor.Table(SubTableKind::SeqLoad).SetCell(2, k, "m" + std::to_string(k));
  }
  for (int r = 1; r <= 3; ++r) {
    for (int c = r == 2 ? 2 : 1; c <= 5; ++c) {
      editor.Table(SubTableKind::CycleLife).SetCell(r, c, std::to_string(r * 10 + c));
    }
  }
  editor.Table(SubTableKind::CycleLife).SetCell(1, 3, "");
  return editor;
}

// A panel that differs from the named one in every field and option.
StepEditor StalePanel() {
  StepEditor editor;
  for (const auto& info : kEditorFields) {
    editor.SetField(info.field, kStale);
  }
  editor.ClickLoadMode(LoadModeGroup::Discharge, 3);
  editor.ClickLoadMode(LoadModeGroup::Dynamic, 1);
  editor.ClickLoadMode(LoadModeGroup::Normal, 1);
  editor.SetSeqLoadType("CP");
  return editor;
}

// Every function's row against a golden file (which cell each field fills,
// and in which form), then loaded into a stale panel: the same row again.
TEST(StepEditorRows, EachFunctionFillsItsCellsAndShowsThemBack) {
  std::string rows;
  for (const std::string_view function : kStepFunctionNames) {
    SCOPED_TRACE(function);
    StepEditor editor = NamedPanel();
    ASSERT_TRUE(editor.SelectFunction(function));
    if (function == "Sequence Load") {
      editor.SetSeqLoadType("CP");
    }
    const TestStep row = editor.BuildStepRow().row;
    rows += row[kColFunction] + ":";
    for (int c = 0; c < kStepColumns; ++c) {
      if (c != kColFunction && !row[c].empty()) {
        rows += " " + std::string(kStepColumnHeaders[c]) + "=" + row[c];
      }
    }
    rows += "\n";

    StepEditor shown = StalePanel();
    const ShowStepResult result = shown.ShowStepInPanel(GridWith({row}), 1);
    ASSERT_TRUE(result.shown) << result.message;
    EXPECT_EQ(shown.VisibleFrame(), static_cast<int>(*FindStepFunction(function)));
    EXPECT_EQ(shown.BuildStepRow().row, row);
  }
  EXPECT_EQ(rows, test::Golden("steps/rows_from_fields.txt"));

  // A count typed but not yet committed cannot reach past the table.
  StepEditor editor = NamedPanel();
  editor.SelectFunction("Battery RAMP");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.SetField(EditorField::RampTotalStep, "7");
  EXPECT_EQ(editor.BuildStepRow().row[kColRampCc], ";r1;r2;r3");
}

// The first field that holds no usable number, or text that would split a
// cell of the step file or an entry of a sub-step list, is named with why;
// cells the row does not take cannot split anything.
TEST(StepEditorRows, NamesTheFirstFieldOrCellThatCannotStand) {
  struct Case {
    std::string_view function;
    std::optional<EditorField> field;  // otherwise the sub-table cell (row, col)
    int row, col;
    const char* text;
    const char* named;
  };
  const Case cases[] = {
      {"OCP", EditorField::OcpStop, 0, 0, "1,5",
       "field \"Stop\" of OCP holds \"1,5\": use a point"},
      {"Dynamic", EditorField::TStop, 0, 0, "1;5",
       "field \"Time\" of Dynamic holds \"1;5\": is not"},
      {"Discharge", EditorField::DiscSinkValue, 0, 0, "abc",
       "\"Load Value\" of Discharge holds \"abc\": is not a number"},
      {"Discharge", EditorField::DiscSinkValue, 0, 0, "1.2.3", "is not a number"},
      {"Discharge", EditorField::DiscSinkValue, 0, 0, " 1.5e-3 ", ""},
      {"Rest", EditorField::TStop, 0, 0, "-5",
       "\"Time\" of Rest holds \"-5\": must not be negative"},
      {"Rest", EditorField::TStop, 0, 0, "-0", ""},
      {"Discharge", EditorField::TStop, 0, 0, "",
       "\"Time\" of Discharge holds \"\": enter a number"},
      {"Discharge", EditorField::VStop, 0, 0, "", ""},  // no voltage stop
      {"Battery RAMP", {}, 2, 3, "5;6", "ramp table cell Time(s) of sub-step 3"},
      {"Battery Cycle Life", {}, 1, 5, "2,3", "cycle table cell Cycle of sub-step 1"},
      {"Battery Cycle Life", {}, 3, 5, "2,3", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + std::string(" in ") + std::string(c.function));
    StepEditor editor = NamedPanel();
    for (const auto& info : kEditorFields) {
      if (info.field != EditorField::RampTotalStep && info.field != EditorField::SeqLoadTotalStep) {
        editor.SetField(info.field, "1");
      }
    }
    editor.SelectFunction(c.function);
    if (c.field) {
      editor.SetField(*c.field, c.text);
    } else {
      editor.Table(*SubTableOf(*FindStepFunction(c.function))).SetCell(c.row, c.col, c.text);
    }
    const std::string problem = editor.BuildStepRow().problem;
    if (*c.named == '\0') {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.named), std::string::npos) << problem;
    }
  }
}

// A row sets what it names and leaves the rest: mode texts that name no
// option, sub-table cells past its entries.
TEST(ShowStepInPanel, LeavesWhatTheRowDoesNotName) {
  StepEditor editor;
  const StepGrid grid = GridWith(
      {Step("Dynamic", {{kColMode, "CV"}}), Step("Normal", {{kColMode, "cc"}}),
       Step("Battery RAMP", {{kColRampCc, ";1;2;3;4"}, {kColRampTime, ";5;6;7;8"}}),
       Step("Battery RAMP", {{kColRampCc, ";a;b"}, {kColRampTime, ";c;d"}, {kColTotalStep, "3"}}),
       Step("Battery RAMP", {{kColTotalStep, "3"}}),
       CycleStep(";1;2", ";1;2", ";1;2", ";1;2", ";1;2"), CycleStep(";9", ";8", ";7", ";6", ";5")});
  // A Dynamic "CV" row can only come from a file; it selects the hidden option.
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 1).shown);
  EXPECT_EQ(editor.LoadMode(LoadModeGroup::Dynamic), kHiddenDynamicMode);
  EXPECT_EQ(editor.UnitLabel(LoadModeGroup::Dynamic), "V");
  editor.ClickLoadMode(LoadModeGroup::Normal, 3);
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 2).shown);
  EXPECT_EQ(editor.LoadMode(LoadModeGroup::Normal), 3);

  ASSERT_TRUE(editor.ShowStepInPanel(grid, 3).shown);
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 4).shown);
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(1, 2), "b");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(2, 4), "8");
  // The count comes from the list, never from the Total Step cell.
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "2");
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 5).shown);
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "-1");

  ASSERT_TRUE(editor.ShowStepInPanel(grid, 6).shown);
  ASSERT_TRUE(editor.ShowStepInPanel(grid, 7).shown);
  EXPECT_EQ(editor.Table(SubTableKind::CycleLife).Cell(1, 1), "9");
  EXPECT_EQ(editor.Table(SubTableKind::CycleLife).Cell(2, 5), "2");
}

TEST(ShowStepInPanel, FunctionNotOfferedChangesNothing) {
  StepEditor editor = StalePanel();
  editor.SetOfferedFunctions({"Discharge", "Custom"});
  // Nor can an unknown name (row 2) or the empty last row (row 3) be shown.
  const StepGrid grid = GridWith({Step("OCP", {{kColStart, "1"}}), Step("discharge", {})});
  for (int row = 1; row <= 3; ++row) {
    const ShowStepResult result = editor.ShowStepInPanel(grid, row);
    EXPECT_FALSE(result.shown) << row;
    EXPECT_EQ(result.message, kFunctionNotAvailableMessage);
  }
  EXPECT_EQ(editor.SelectedFunction(), "Discharge");  // still offered: still selected
  EXPECT_EQ(editor.VisibleFrame(), 0);
  for (const auto& info : kEditorFields) {
    EXPECT_EQ(editor.Field(info.field), kStale) << info.control;
  }
  // An offered name the panel has no frame for builds a row of its name alone.
  ASSERT_TRUE(editor.SelectFunction("Custom"));
  EXPECT_EQ(editor.BuildStepRow().row, Step("Custom", {}));
}

// The loading stops where the step does not fit, and what it wrote before
// stays.
TEST(ShowStepInPanel, StopsWhereTheStepDoesNotFit) {
  struct Case {
    const char* name;
    TestStep step;
    SubTableKind table;
    int row, col;
    const char* reached;     // a cell written before the failure
    EditorField notReached;  // keeps its text
  };
  const char* ten = ";1;2;3;4;5;6;7;8;9;10";
  const char* four = ";1;2;3;4";
  const Case cases[] = {
      {"sequence mode", Step("Sequence Load", {{kColMode, "CR"}, {kColRampCc, ";1"}}),
       SubTableKind::SeqLoad, 1, 0, "CC(A)", EditorField::SeqLoadVth},
      {"ramp longer than the table", Step("Battery RAMP", {{kColRampCc, ten}, {kColRampTime, ten}}),
       SubTableKind::Ramp, 2, 9, "9", EditorField::RampStart},
      {"ramp time shorter", Step("Battery RAMP", {{kColRampCc, ";1;2;3"}, {kColRampTime, ";10"}}),
       SubTableKind::Ramp, 1, 2, "2", EditorField::RampStart},
      {"cycle low shorter", CycleStep(";1;2", ";3", ";4;5", ";6;7", ";8;9"),
       SubTableKind::CycleLife, 2, 1, "2", EditorField::CycleRepeat},
      {"four cycles", CycleStep(four, four, four, four, four), SubTableKind::CycleLife, 3, 5, "3",
       EditorField::CycleRepeat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StepEditor editor = StalePanel();
    const ShowStepResult result = editor.ShowStepInPanel(GridWith({c.step}), 1);
    EXPECT_FALSE(result.shown);
    EXPECT_EQ(result.message, kFunctionNotAvailableMessage);
    EXPECT_EQ(editor.Table(c.table).Cell(c.row, c.col), c.reached);
    EXPECT_EQ(editor.Field(c.notReached), kStale);
  }
}

}  // namespace
}  // namespace kv
