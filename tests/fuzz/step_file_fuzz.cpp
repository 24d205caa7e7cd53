// The .tsf reader on arbitrary bytes; whatever it loads must save and load
// back to the same steps.

#include "fuzz/fuzz_support.h"
#include "stepfile/step_file.h"
#include "steps/step_columns.h"
#include "steps/step_grid.h"

void kv::fuzz::FuzzOne(FuzzedDataProvider& in) {
  const std::string path = ScratchFolder() + "/in.tsf";
  WriteFile(path, in.ConsumeRemainingBytesAsString());
  StepGrid grid;
  const StepFileResult loaded = LoadStepFile(grid, path);
  Require(grid.Rows() >= 2, "a loaded grid keeps its header and empty row");
  Require(!loaded.ok || loaded.steps == grid.StepCount(), "steps counted as loaded");
  const std::string copy = ScratchFolder() + "/copy.tsf";
  // A cell the format cannot hold makes the save refuse it.
  if (!loaded.ok || !SaveStepFile(grid, copy).ok) {
    return;
  }
  StepGrid again;
  const StepFileResult reloaded = LoadStepFile(again, copy);
  Require(reloaded.ok && reloaded.longLines == 0, "a saved file loads cleanly");
  Require(again.Rows() == grid.Rows(), "a saved file loads the same number of steps");
  for (int row = 1; row < grid.Rows() - 1; ++row) {
    for (int col = 0; col < kStepColumns; ++col) {
      Require(again.Cell(row, col) == grid.Cell(row, col), "a saved file loads the same cells");
    }
  }
}
