// The sub-step tables, their total-step fields and the in-place input box.
#include <gtest/gtest.h>

#include <string>

#include "steps/step_editor.h"
#include "steps/sub_table.h"

namespace kv {
namespace {

std::string TitleRow(const SubTable& t) {
  std::string titles;
  for (int c = 0; c < t.Cols(); ++c) {
    titles += (c == 0 ? "" : "|") + t.Cell(0, c);
  }
  return titles;
}

TEST(ClampTotalStep, LeavesAWholeNumberInRange) {
  struct Case {
    const char* typed;
    int min, max;
    const char* left;
  };
  // A whole number in range stays as typed, a text that is not a number counts
  // as 0, and fractions round half to even and are written back whole.
  const Case cases[] = {{"12", 1, 9, "9"},   {"0", 1, 9, "1"},   {"1", 2, 16, "2"},
                        {"17", 2, 16, "16"}, {"05", 1, 9, "05"}, {" 4 ", 1, 9, " 4 "},
                        {"+4", 1, 9, "+4"},  {"abc", 1, 9, "1"}, {"12V", 1, 9, "1"},
                        {"nan", 2, 16, "2"}, {"3.7", 1, 9, "4"}, {"2.5", 1, 9, "2"},
                        {"3.5", 1, 9, "4"},  {"1e1", 1, 9, "9"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ClampTotalStepText(c.typed, c.min, c.max), c.left) << '"' << c.typed << '"';
  }
}

// Narrowing drops values and keeps the current cell inside; widening adds
// empty cells.
TEST(TotalStepField, ResizesAndRetitlesTheTable) {
  struct Case {
    SubTableKind kind;
    const char* typed;
    const char* left;
    const char* titles;
  };
  // "" leaves the field untouched at its start text "0", which clamps too.
  const Case cases[] = {{SubTableKind::Ramp, "12", "9", "Step|1|2|3|4|5|6|7|8|9"},
                        {SubTableKind::SeqLoad, "", "2", "Step|1|2"},
                        {SubTableKind::Ramp, "05", "05", "Step|1|2|3|4|5"},
                        {SubTableKind::Ramp, "3.7", "4", "Step|1|2|3|4"},
                        {SubTableKind::Ramp, "6", "6", "Step|1|2|3|4|5|6"}};
  StepEditor editor;
  SubTable& ramp = editor.Table(SubTableKind::Ramp);
  for (int k = 1; k <= 9; ++k) {
    ramp.SetCell(1, k, std::to_string(k));
  }
  ramp.SetCurrentCell(2, 9);
  for (const Case& c : cases) {
    const EditorField field = StepEditor::TotalStepField(c.kind);
    if (*c.typed != '\0') {
      editor.SetField(field, c.typed);
    }
    editor.LeaveTotalStep(c.kind);
    EXPECT_EQ(editor.Field(field), c.left) << c.typed;
    EXPECT_EQ(TitleRow(editor.Table(c.kind)), c.titles) << c.typed;
  }
  EXPECT_EQ(ramp.Cell(1, 4), "4");
  EXPECT_EQ(ramp.Cell(1, 5), "");
  EXPECT_EQ(ramp.CurrentCol(), 4);
}

// Opening a file repeats the start-up layout: sizes and titles come back,
// values within them and the total-step fields keep their texts.
TEST(SubTableLayoutReset, RestoresSizesAndTitlesKeepingValues) {
  StepEditor editor;
  editor.SetField(EditorField::RampTotalStep, "2");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.Table(SubTableKind::Ramp).SetCell(1, 2, "kept");
  editor.Table(SubTableKind::CycleLife).SetCell(0, 1, "x");
  editor.SetSeqLoadType("CP");
  editor.ResetSubTableLayouts();
  EXPECT_EQ(TitleRow(editor.Table(SubTableKind::Ramp)), "Step|1|2|3|4|5|6|7|8|9");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(1, 2), "kept");
  EXPECT_EQ(TitleRow(editor.Table(SubTableKind::CycleLife)), "Step|CCH|CCL|THigh|TLow|Cycle");
  EXPECT_EQ(editor.Table(SubTableKind::CycleLife).CurrentRow(), 1);
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "2");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(1, 0), "CP(W)");
}

TEST(InputBox, OpensOverAValueCellAndCommitsToItOnce) {
  StepEditor editor;
  SubTable& seq = editor.Table(SubTableKind::SeqLoad);
  seq.SetCell(2, 16, "20");
  editor.ClickSubTable(SubTableKind::SeqLoad, 0, 16, "");
  EXPECT_FALSE(editor.InputBoxTable()) << "the title row opens nothing";
  editor.ClickSubTable(SubTableKind::SeqLoad, 2, 16, "");
  EXPECT_EQ(editor.InputBoxTable(), SubTableKind::SeqLoad);
  EXPECT_EQ(editor.InputBoxText(), "20");
  EXPECT_EQ(editor.EditTarget(), (SubTableEditTarget{2, 16}));
  editor.CommitInputBox("  not a number ");
  EXPECT_EQ(seq.Cell(2, 16), "  not a number ");
  EXPECT_FALSE(editor.InputBoxTable());
  editor.CommitInputBox("other");  // the focus loss that follows Enter
  EXPECT_EQ(seq.Cell(2, 16), "  not a number ");

  // The title column picks the row's first value cell. A click while the box
  // is open commits to that cell and makes the clicked one current.
  editor.ClickSubTable(SubTableKind::SeqLoad, 2, 0, "");
  EXPECT_EQ(editor.EditTarget(), (SubTableEditTarget{2, 1}));
  editor.ClickSubTable(SubTableKind::SeqLoad, 1, 4, "v");
  EXPECT_EQ(seq.Cell(2, 1), "v");
  EXPECT_EQ(seq.Cell(1, 4), "");
  EXPECT_EQ(seq.CurrentRow(), 1);
  EXPECT_EQ(seq.CurrentCol(), 4);
}

}  // namespace
}  // namespace kv
