// The list buttons: add, insert, remove, move up, move down.
#include <gtest/gtest.h>

#include <functional>
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

// Every edit leaves the step it made current; each change, taken back in
// reverse order, gives the list and the current step exactly as before it,
// and made again gives them as after it.
TEST_F(StepListOps, EachEditSelectsItsStepAndUndoesExactly) {
  AddSteps(4);
  struct Edit {
    const char* name;
    int currentBefore;
    const char* typed;  // into the load value first, if any
    std::function<StepListResult()> op;
    V values;
    int current;
  };
  const auto add = [this] { return AddStep(grid_, editor_); };
  const auto insert = [this] { return InsertStep(grid_, editor_); };
  const auto replace = [this] { return ReplaceStep(grid_, editor_); };
  const auto remove = [this] { return RemoveStep(grid_); };
  const Edit edits[] = {
      {"add", 2, "5", add, {"1", "2", "3", "4", "5"}, 5},
      {"insert", 3, "9", insert, {"1", "2", "9", "3", "4", "5"}, 3},
      {"replace", 1, "8", replace, {"8", "2", "9", "3", "4", "5"}, 1},
      {"delete", 2, nullptr, remove, {"8", "9", "3", "4", "5"}, 2},
      {"delete the last", 5, nullptr, remove, {"8", "9", "3", "4"}, 4},
      {"up", 3, nullptr, [&] { return MoveStepUp(grid_); }, {"8", "3", "9", "4"}, 2},
      {"down", 1, nullptr, [&] { return MoveStepDown(grid_); }, {"3", "8", "9", "4"}, 2},
  };
  std::vector<std::pair<V, int>> states;
  std::vector<StepListChange> changes;
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.name);
    grid_.SetCurrentCell(e.currentBefore, 2);
    states.emplace_back(Values(), grid_.CurrentRow());
    if (e.typed != nullptr) {
      editor_.SetField(EditorField::DiscSinkValue, e.typed);
    }
    StepListResult r = e.op();
    ASSERT_TRUE(r.changed && r.change) << r.message;
    EXPECT_EQ(Values(), e.values);
    EXPECT_EQ(grid_.CurrentRow(), e.current);
    EXPECT_EQ(grid_.CurrentCol(), 2);
    changes.push_back(*r.change);
  }
  for (std::size_t i = changes.size(); i-- > 0;) {
    SCOPED_TRACE(edits[i].name);
    RevertChange(grid_, changes[i]);
    EXPECT_EQ(Values(), states[i].first);
    EXPECT_EQ(grid_.CurrentRow(), states[i].second);
  }
  for (std::size_t i = 0; i < changes.size(); ++i) {
    ApplyChange(grid_, changes[i]);
    EXPECT_EQ(Values(), edits[i].values) << edits[i].name;
  }
}

// Nothing selected, the current row on the empty last row (always so in an
// empty list), or a step the panel refuses: the list stays as it was.
TEST_F(StepListOps, RefusalsLeaveTheListAsItWas) {
  EXPECT_FALSE(InsertStep(grid_, editor_).changed);
  AddSteps(2);
  grid_.SetCurrentCell(3, 0);
  for (const StepListResult& r : {InsertStep(grid_, editor_), ReplaceStep(grid_, editor_)}) {
    EXPECT_FALSE(r.changed);
    EXPECT_NE(r.message.find("Select the step"), std::string::npos) << r.message;
  }

  grid_.SetCurrentCell(1, 0);
  editor_.SelectFunction("OCP");
  editor_.SetField(EditorField::OcpVth, "0,6");
  for (const StepListResult& r :
       {AddStep(grid_, editor_), InsertStep(grid_, editor_), ReplaceStep(grid_, editor_)}) {
    EXPECT_FALSE(r.changed);
    EXPECT_NE(r.message.find("\"Vth\""), std::string::npos) << r.message;
  }
  editor_.SetOfferedFunctions({"Discharge"});
  for (const StepListResult& r : {AddStep(grid_, editor_), InsertStep(grid_, editor_)}) {
    EXPECT_FALSE(r.changed);
    EXPECT_NE(r.message.find("Choose a function"), std::string::npos) << r.message;
  }
  EXPECT_EQ(Values(), (V{"1", "2"}));
  EXPECT_EQ(grid_.CurrentRow(), 1);
}

// Nothing to delete or move on the empty last row, nor past either end. A
// move exchanges every column but the number (the FOR's Times goes along).
TEST_F(StepListOps, NothingMovesPastTheEndsAndAMoveTakesEveryColumn) {
  AddSteps(1);
  editor_.SelectFunction("FOR");
  ASSERT_TRUE(AddStep(grid_, editor_).changed);
  grid_.SetCurrentCell(3, 1);  // the empty last row
  for (const StepListResult& r : {RemoveStep(grid_), MoveStepUp(grid_), MoveStepDown(grid_)}) {
    EXPECT_FALSE(r.changed);
  }
  grid_.SetCurrentCell(2, 1);
  EXPECT_FALSE(MoveStepDown(grid_).changed);
  ASSERT_TRUE(MoveStepUp(grid_).changed);
  EXPECT_EQ(Values(), (V{"", "1"}));
  EXPECT_EQ(grid_.Cell(1, kColTimes), "3");
  EXPECT_FALSE(MoveStepUp(grid_).changed);
  StepGrid empty;
  EXPECT_FALSE(RemoveStep(empty).changed);
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
