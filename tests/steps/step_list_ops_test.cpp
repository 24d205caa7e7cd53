// The list buttons: add, insert, remove, move up, move down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps/step_list_ops.h"

namespace kv {
namespace {

// Steps are told apart by their SinkValue: Discharge rows "1", "2", ...
class StepListOps : public testing::Test {
 protected:
  void AddSteps(int n) {
    for (int i = 0; i < n; ++i) {
      editor_.SetField(EditorField::DiscSinkValue, std::to_string(++added_));
      ASSERT_TRUE(AddStep(grid_, editor_).changed);
    }
  }

  // SinkValue of every step row, and whether column 0 numbers them 1..n.
  std::vector<std::string> Values() const {
    std::vector<std::string> values;
    for (int r = 1; r <= grid_.Rows() - 2; ++r) {
      EXPECT_EQ(grid_.Cell(r, kColStepNo), std::to_string(r));
      values.push_back(grid_.Cell(r, kColSinkValue));
    }
    EXPECT_EQ(grid_.Row(grid_.Rows() - 1), TestStep{}) << "the last row stays empty";
    return values;
  }

  using V = std::vector<std::string>;
  StepGrid grid_;
  StepEditor editor_;
  int added_ = 0;
};

TEST_F(StepListOps, AddKeepsTheCurrentRowAndInsertEndsOnTheLastStep) {
  AddSteps(4);
  grid_.SetCurrentCell(3, 2);
  AddSteps(1);
  EXPECT_EQ(grid_.CurrentRow(), 3);
  editor_.SetField(EditorField::DiscSinkValue, "new");
  ASSERT_TRUE(InsertStep(grid_, editor_).changed);
  EXPECT_EQ(Values(), (V{"1", "2", "0", "3", "4", "5"}));
  EXPECT_EQ(grid_.CurrentRow(), 6);

  grid_.SetCurrentCell(1, 0);
  ASSERT_TRUE(InsertStep(grid_, editor_).changed);
  EXPECT_EQ(Values(), (V{"0", "1", "2", "0", "3", "4", "5"}));
  EXPECT_EQ(grid_.CurrentRow(), 7);
}

// Nothing selected, the current row on the empty last row (always so in an
// empty list), or a step the panel refuses: the list stays as it was.
TEST_F(StepListOps, RefusalsLeaveTheListAsItWas) {
  EXPECT_FALSE(InsertStep(grid_, editor_).changed);
  AddSteps(2);
  grid_.SetCurrentCell(3, 0);
  EXPECT_FALSE(InsertStep(grid_, editor_).changed);

  grid_.SetCurrentCell(1, 0);
  editor_.SelectFunction("OCP");
  editor_.SetField(EditorField::OcpVth, "0,6");
  for (const StepListResult& r : {AddStep(grid_, editor_), InsertStep(grid_, editor_)}) {
    EXPECT_FALSE(r.changed);
    EXPECT_NE(r.message.find("\"Vth\""), std::string::npos) << r.message;
  }
  editor_.SetOfferedFunctions({"Discharge"});
  EXPECT_FALSE(AddStep(grid_, editor_).changed);
  EXPECT_FALSE(InsertStep(grid_, editor_).changed);
  EXPECT_EQ(Values(), (V{"1", "2"}));
  EXPECT_EQ(grid_.CurrentRow(), 1);
}

TEST_F(StepListOps, RemoveRenumbersAndLeavesTheEmptyRowAlone) {
  AddSteps(4);
  grid_.SetCurrentCell(2, 1);
  ASSERT_TRUE(RemoveStep(grid_));
  grid_.SetCurrentCell(3, 1);
  ASSERT_TRUE(RemoveStep(grid_));
  EXPECT_EQ(grid_.CurrentRow(), 3);
  EXPECT_FALSE(RemoveStep(grid_));
  EXPECT_EQ(Values(), (V{"1", "3"}));

  StepGrid empty;
  EXPECT_FALSE(RemoveStep(empty));
}

// Moves exchange everything but the number, and do nothing at the ends.
TEST_F(StepListOps, MovesExchangeEverythingButTheNumber) {
  AddSteps(2);
  editor_.SelectFunction("FOR");
  ASSERT_TRUE(AddStep(grid_, editor_).changed);

  grid_.SetCurrentCell(1, 3);
  ASSERT_TRUE(MoveStepDown(grid_));
  EXPECT_EQ(Values(), (V{"2", "1", ""}));
  EXPECT_EQ(grid_.CurrentRow(), 2);

  ASSERT_TRUE(MoveStepDown(grid_));
  EXPECT_EQ(grid_.Cell(2, kColFunction), "FOR");
  EXPECT_EQ(grid_.Cell(2, kColTimes), "3");
  EXPECT_EQ(grid_.Cell(3, kColSinkValue), "1");
  EXPECT_EQ(grid_.CurrentRow(), 3);

  EXPECT_FALSE(MoveStepDown(grid_));
  ASSERT_TRUE(MoveStepUp(grid_));
  ASSERT_TRUE(MoveStepUp(grid_));
  EXPECT_EQ(Values(), (V{"1", "2", ""}));
  EXPECT_EQ(grid_.CurrentRow(), 1);
  EXPECT_EQ(grid_.CurrentCol(), 3);
  EXPECT_FALSE(MoveStepUp(grid_));
  grid_.SetCurrentCell(4, 0);  // the empty last row
  EXPECT_FALSE(MoveStepUp(grid_));
  EXPECT_FALSE(MoveStepDown(grid_));
  EXPECT_EQ(grid_.StepCount(), 3);
}

TEST_F(StepListOps, AFullListTakesNoMoreSteps) {
  grid_.AssignSteps(std::vector<TestStep>(kMaxStepCount - 1));
  EXPECT_TRUE(AddStep(grid_, editor_).changed);
  EXPECT_EQ(grid_.Cell(kMaxStepCount, kColStepNo), "32767");

  const StepListResult refused = AddStep(grid_, editor_);
  EXPECT_FALSE(refused.changed);
  EXPECT_NE(refused.message.find("32767"), std::string::npos);
  grid_.SetCurrentCell(1, 0);
  EXPECT_FALSE(InsertStep(grid_, editor_).changed);
  EXPECT_EQ(grid_.StepCount(), kMaxStepCount);
}

}  // namespace
}  // namespace kv
