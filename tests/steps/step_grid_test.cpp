#include "steps/step_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

TestStep StepNamed(const std::string& function) {
  TestStep step;
  step[kColFunction] = function;
  return step;
}

class RecordingObserver : public StepGridObserver {
 public:
  void OnGridReset() override { ++resets; }
  void OnCellChanged(int, int) override { ++cellChanges; }
  void OnRowsInserted(int, int) override { ++inserts; }
  void OnRowsRemoved(int, int) override { ++removals; }
  int resets = 0, cellChanges = 0, inserts = 0, removals = 0;
};

// The header row and the empty last row are no steps: nothing inserts or
// removes around them, and cells outside the grid read empty and ignore writes.
TEST(StepGrid, RowsChangeOnlyBetweenHeaderAndEmptyLastRow) {
  StepGrid grid;
  for (int rows : {1, 0, -7}) {
    grid.SetRows(rows);
    EXPECT_EQ(grid.Rows(), 2) << rows;
  }
  grid.RemoveRow(1);
  EXPECT_EQ(grid.Rows(), 2);
  for (auto [row, col] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, kStepColumns}, {99, 99}}) {
    grid.SetCell(row, col, "x");
    EXPECT_EQ(grid.Cell(row, col), "") << row << "," << col;
  }
  grid.AssignSteps({StepNamed("Rest"), StepNamed("Short")});
  grid.InsertRow(0);  // not before the header
  grid.InsertRow(4);  // not after the empty last row
  EXPECT_EQ(grid.StepCount(), 2);
  grid.InsertRow(3);  // before the empty last row: appends a step
  EXPECT_EQ(grid.StepCount(), 3);
  grid.InsertRow(1);
  EXPECT_EQ(grid.Cell(2, kColFunction), "Rest");
  EXPECT_EQ(grid.Cell(1, kColFunction), "");

  grid.RemoveRow(0);
  grid.RemoveRow(grid.Rows() - 1);
  EXPECT_EQ(grid.StepCount(), 4);
  EXPECT_EQ(grid.Cell(0, kColFunction), "Function");
  grid.SetCurrentCell(grid.Rows() - 1, 0);
  grid.RemoveRow(2);
  EXPECT_EQ(grid.Cell(2, kColFunction), "Short");
  EXPECT_EQ(grid.StepCount(), 3);
  EXPECT_LT(grid.CurrentRow(), grid.Rows());  // it was on the empty last row
  grid.SetCurrentCell(7, 0);                  // outside: ignored
  EXPECT_LT(grid.CurrentRow(), grid.Rows());
}

TEST(StepGrid, AssignStepsKeepsTheHeaderAndResetsOnce) {
  StepGrid grid;
  grid.SetCell(0, kColMode, "Custom title");
  RecordingObserver observer;
  grid.SetObserver(&observer);
  grid.AssignSteps({StepNamed("Rest"), StepNamed("LOOP"), StepNamed("FOR")});
  EXPECT_EQ(grid.Cell(0, kColMode), "Custom title");
  EXPECT_EQ(grid.Cell(3, kColFunction), "FOR");
  EXPECT_EQ(grid.Row(4), TestStep{});
  EXPECT_EQ(observer.resets, 1);
  EXPECT_EQ(observer.cellChanges + observer.inserts + observer.removals, 0);
  grid.SetObserver(nullptr);
}

}  // namespace
}  // namespace kv
