#pragma once
// Step lists for the check's tests, written as a function and the cells that
// differ from a step the check has nothing to say about.

#include <string>
#include <utility>
#include <vector>

#include "stepfile/step_file.h"
#include "steps/step_columns.h"
#include "steps/step_grid.h"

namespace kv::test {

struct ListStep {
  std::string function;
  std::vector<std::pair<int, std::string>> cells = {};
};

/// The sound step of `s.function` (from a step file with one of each) with
/// `s.cells` written over it.
inline StepGrid Grid(const std::vector<ListStep>& steps) {
  static const StepGrid sound = [] {
    StepGrid grid;
    LoadStepFile(grid, KV_TEST_DATA_DIR "/check/sound_steps.tsf");
    return grid;
  }();
  std::vector<TestStep> rows;
  for (const ListStep& s : steps) {
    TestStep row;
    for (int i = 1; i <= sound.StepCount(); ++i) {
      if (sound.Row(i)[kColFunction] == s.function) {
        row = sound.Row(i);
      }
    }
    row[kColStepNo] = std::to_string(rows.size() + 1);
    row[kColFunction] = s.function;
    for (const auto& [col, text] : s.cells) {
      row[col] = text;
    }
    rows.push_back(row);
  }
  StepGrid grid;
  grid.AssignSteps(rows);
  return grid;
}

}  // namespace kv::test
