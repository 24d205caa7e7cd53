// The .tsf reader on arbitrary bytes; whatever it loads must save and load
// back to the same steps.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "stepfile/step_file.h"
#include "steps/step_columns.h"
#include "steps/step_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string path = fuzz::ScratchPath("in.tsf");
  fuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

  StepGrid grid;
  const StepFileResult loaded = LoadStepFile(grid, path);
  fuzz::Require(grid.Rows() >= 2, "a loaded grid keeps its header and empty row");
  fuzz::Require(!loaded.ok || loaded.steps == grid.StepCount(), "steps counted as loaded");
  if (!loaded.ok) {
    return 0;
  }

  const std::string copy = fuzz::ScratchPath("copy.tsf");
  const StepFileResult saved = SaveStepFile(grid, copy);
  if (!saved.ok) {
    return 0;  // a cell the format cannot hold; the save refused it
  }
  StepGrid again;
  const StepFileResult reloaded = LoadStepFile(again, copy);
  fuzz::Require(reloaded.ok && reloaded.longLines == 0, "a saved file loads cleanly");
  fuzz::Require(again.Rows() == grid.Rows(), "a saved file loads the same number of steps");
  for (int row = 1; row < grid.Rows() - 1; ++row) {
    for (int col = 0; col < kStepColumns; ++col) {
      fuzz::Require(again.Cell(row, col) == grid.Cell(row, col),
                    "a saved file loads the same cells");
    }
  }
  return 0;
}
