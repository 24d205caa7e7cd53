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

TEST(SubTable, StartLayouts) {
  const SubTable ramp(SubTableKind::Ramp);
  EXPECT_EQ(ramp.Rows(), 3);
  EXPECT_EQ(TitleRow(ramp), "Step|1|2|3|4|5|6|7|8|9");
  EXPECT_EQ(ramp.Cell(1, 0), "CC(A)");
  EXPECT_EQ(ramp.Cell(2, 0), "Time(s)");

  const SubTable seq(SubTableKind::SeqLoad);
  EXPECT_EQ(seq.Rows(), 3);
  EXPECT_EQ(seq.Cols(), 17);
  EXPECT_EQ(seq.Cell(0, 16), "16");
  EXPECT_EQ(seq.Cell(1, 0), "CC(A)");
  EXPECT_EQ(seq.Cell(2, 0), "Time(ms)");

  const SubTable cycle(SubTableKind::CycleLife);
  EXPECT_EQ(cycle.Rows(), 4);
  EXPECT_EQ(TitleRow(cycle), "Step|CCH|CCL|THigh|TLow|Cycle");
  EXPECT_EQ(cycle.Cell(3, 0), "3");
  EXPECT_EQ(cycle.Cell(1, 1), "");
  EXPECT_EQ(cycle.CurrentRow(), 1);
  EXPECT_EQ(cycle.CurrentCol(), 1);
}

struct ClampCase {
  std::string_view typed;
  int min, max;
  std::string_view left;
};
void PrintTo(const ClampCase& c, std::ostream* os) {
  *os << '"' << c.typed << '"';
}

class ClampTotalStep : public testing::TestWithParam<ClampCase> {};

TEST_P(ClampTotalStep, LeavesAWholeNumberInRange) {
  const ClampCase& c = GetParam();
  EXPECT_EQ(ClampTotalStepText(c.typed, c.min, c.max), c.left) << "typed \"" << c.typed << "\"";
}

INSTANTIATE_TEST_SUITE_P(RampAndSequence, ClampTotalStep,
                         testing::Values(ClampCase{"12", 1, 9, "9"}, ClampCase{"0", 1, 9, "1"},
                                         ClampCase{"-3", 1, 9, "1"}, ClampCase{"9", 1, 9, "9"},
                                         ClampCase{"05", 1, 9, "05"}, ClampCase{" 4 ", 1, 9, " 4 "},
                                         ClampCase{"1", 2, 16, "2"}, ClampCase{"17", 2, 16, "16"},
                                         // Not a number: counts as 0.
                                         ClampCase{"", 1, 9, "1"}, ClampCase{"abc", 1, 9, "1"},
                                         ClampCase{"12V", 1, 9, "1"}, ClampCase{"abc", 2, 16, "2"},
                                         ClampCase{"nan", 2, 16, "2"},
                                         // Fractions round half to even and are written back whole.
                                         ClampCase{"3.7", 1, 9, "4"}, ClampCase{"2.5", 1, 9, "2"},
                                         ClampCase{"3.5", 1, 9, "4"}, ClampCase{"0.5", 1, 9, "1"},
                                         ClampCase{"9.4", 1, 9, "9"}, ClampCase{"1.5", 2, 16, "2"},
                                         ClampCase{"1e1", 1, 9, "9"}));

TEST(TotalStepField, ResizesAndRetitlesTheTable) {
  struct Case {
    SubTableKind kind;
    const char* typed;
    const char* left;
    const char* titles;
  };
  // A fraction no longer leaves columns without titles.
  const Case cases[] = {{SubTableKind::Ramp, "12", "9", "Step|1|2|3|4|5|6|7|8|9"},
                        {SubTableKind::Ramp, "0", "1", "Step|1"},
                        {SubTableKind::SeqLoad, "1", "2", "Step|1|2"},
                        {SubTableKind::Ramp, "05", "05", "Step|1|2|3|4|5"},
                        {SubTableKind::Ramp, "3.7", "4", "Step|1|2|3|4"}};
  StepEditor editor;
  for (const Case& c : cases) {
    const EditorField field =
        c.kind == SubTableKind::Ramp ? EditorField::RampTotalStep : EditorField::SeqLoadTotalStep;
    editor.SetField(field, c.typed);
    editor.LeaveTotalStep(c.kind);
    EXPECT_EQ(editor.Field(field), c.left) << c.typed;
    EXPECT_EQ(TitleRow(editor.Table(c.kind)), c.titles) << c.typed;
  }

  // Leaving it untouched at "0" also clamps.
  StepEditor fresh;
  fresh.LeaveTotalStep(SubTableKind::SeqLoad);
  EXPECT_EQ(fresh.Field(EditorField::SeqLoadTotalStep), "2");
  EXPECT_EQ(fresh.Table(SubTableKind::SeqLoad).Cols(), 3);
}

TEST(TotalStepField, NarrowingDropsValuesAndWideningAddsEmptyCells) {
  StepEditor editor;
  SubTable& ramp = editor.Table(SubTableKind::Ramp);
  editor.SetField(EditorField::RampTotalStep, "5");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  for (int k = 1; k <= 5; ++k) {
    ramp.SetCell(1, k, std::to_string(k));
  }
  ramp.SetCurrentCell(2, 5);
  editor.SetField(EditorField::RampTotalStep, "3");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  EXPECT_EQ(ramp.CurrentCol(), 3);  // the current cell stays inside the table
  editor.SetField(EditorField::RampTotalStep, "5");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  EXPECT_EQ(ramp.Cell(1, 3), "3");
  EXPECT_EQ(ramp.Cell(1, 4), "");
  EXPECT_EQ(ramp.Cell(1, 5), "");
  EXPECT_EQ(ramp.Cell(0, 5), "5");
}

TEST(SequenceType, RetitlesTheLevelRowAndKeepsValues) {
  StepEditor editor;
  editor.Table(SubTableKind::SeqLoad).SetCell(1, 1, "3");
  EXPECT_TRUE(editor.SetSeqLoadType("CP"));
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(1, 0), "CP(W)");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(1, 1), "3");
  EXPECT_FALSE(editor.SetSeqLoadType("CV"));
  EXPECT_EQ(editor.SeqLoadType(), "CP");
  // Selecting the function starts it at "CC" again.
  editor.SelectFunction("Sequence Load");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(1, 0), "CC(A)");
}

TEST(SubTableLayoutReset, RestoresSizesAndTitlesKeepingValues) {
  StepEditor editor;
  editor.SetField(EditorField::RampTotalStep, "2");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.Table(SubTableKind::Ramp).SetCell(1, 2, "kept");
  editor.Table(SubTableKind::CycleLife).SetCell(0, 1, "x");
  editor.SetSeqLoadType("CP");
  editor.ResetSubTableLayouts();
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cols(), 10);
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(1, 2), "kept");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(0, 9), "9");
  EXPECT_EQ(editor.Table(SubTableKind::CycleLife).Cell(0, 1), "CCH");
  EXPECT_EQ(editor.Field(EditorField::RampTotalStep), "2");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(1, 0), "CP(W)");
}

// --- The input box ---------------------------------------------------------

TEST(InputBox, OpensOverTheClickedCellWithItsText) {
  StepEditor editor;
  editor.Table(SubTableKind::Ramp).SetCell(2, 3, "20");
  editor.ClickSubTable(SubTableKind::Ramp, 2, 3, "");
  EXPECT_EQ(editor.InputBoxTable(), SubTableKind::Ramp);
  EXPECT_EQ(editor.InputBoxText(), "20");
  EXPECT_EQ(editor.EditTarget(), (SubTableEditTarget{2, 3}));
}

TEST(InputBox, EnterCommitsAndTheFollowingFocusLossDoesNothing) {
  StepEditor editor;
  editor.ClickSubTable(SubTableKind::Ramp, 1, 2, "");
  editor.CommitInputBox("1.5");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(1, 2), "1.5");
  EXPECT_FALSE(editor.InputBoxTable());
  editor.CommitInputBox("other");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(1, 2), "1.5");
}

TEST(InputBox, TextIsFreeAndCommittedUnchanged) {
  StepEditor editor;
  editor.ClickSubTable(SubTableKind::SeqLoad, 2, 16, "");
  editor.CommitInputBox("  not a number ");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(2, 16), "  not a number ");
  editor.ClickSubTable(SubTableKind::SeqLoad, 2, 16, "");
  editor.CommitInputBox("");
  EXPECT_EQ(editor.Table(SubTableKind::SeqLoad).Cell(2, 16), "");
}

TEST(InputBox, TitleRowOpensNothingAndTitleColumnPicksTheFirstValueCell) {
  StepEditor editor;
  editor.ClickSubTable(SubTableKind::Ramp, 0, 4, "");
  EXPECT_FALSE(editor.InputBoxTable());
  editor.ClickSubTable(SubTableKind::Ramp, 2, 0, "");
  EXPECT_EQ(editor.InputBoxTable(), SubTableKind::Ramp);
  EXPECT_EQ(editor.EditTarget(), (SubTableEditTarget{2, 1}));
  // A click on the title row still takes the focus: the box commits.
  editor.ClickSubTable(SubTableKind::Ramp, 0, 4, "v");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cell(2, 1), "v");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).CurrentRow(), 2);
}

TEST(InputBox, TargetDroppedWithItsColumnWritesNothing) {
  StepEditor editor;
  editor.ClickSubTable(SubTableKind::Ramp, 1, 9, "");
  editor.SetField(EditorField::RampTotalStep, "2");
  editor.LeaveTotalStep(SubTableKind::Ramp);
  editor.CommitInputBox("lost");
  EXPECT_EQ(editor.Table(SubTableKind::Ramp).Cols(), 3);
  EXPECT_FALSE(editor.InputBoxTable());
}

}  // namespace
}  // namespace kv
