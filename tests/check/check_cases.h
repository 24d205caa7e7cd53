#pragma once
// Step lists for the check's tests, written as a function and the cells that
// differ from a step the check has nothing to say about.

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "steps/step_columns.h"
#include "steps/step_grid.h"

namespace kv::test {

struct Step {
  std::string function;
  std::vector<std::pair<int, std::string>> cells = {};
};

/// A sound step of each function, cells 1 to 25 as a step file holds them.
inline const std::map<std::string, std::string>& SoundSteps() {
  // clang-format off
  static const std::map<std::string, std::string> steps = {
      {"Discharge",             "Discharge,CC,1,0,10,0,,,,,,,,,,,,,,,,,,,"},
      {"Rest",                  "Rest,,,0,5,0,,,,,,,,,,,,,,,,,,,"},
      {"FOR",                   "FOR,,,,,,2,,,,,,,,,,,,,,,,,,"},
      {"Normal",                "Normal,CC,1,,4,,,,,,,,,,,,,,,,,,,,"},
      {"Short",                 "Short,,,0,2,0,,,,,,,,,,,,,,,,,,,"},
      {"Dynamic",               "Dynamic,CC,,0,6,0,,,,,,,,2,0.2,500,500,100,100,,,,,,"},
      {"OCP",                   "OCP,,,,,,,0,8,0.5,1,6,5,,,,,,,,,,,,"},
      {"Battery RAMP",          "Battery RAMP,,0.5,,,,1,,,,,,,,,,,,,2.8,,,;1;2,;10;10,2"},
      {"Sequence Load",         "Sequence Load,CC,,,,,,,,,,,,,,,,,,1,,,;1;2,;500;500,2"},
      {"Battery CC+CV",         "Battery CC+CV,,1,0,60,0,,,,,,,,,,,,,,,3,,,,"},
      {"CV with Current Limit", "CV with Current Limit,,1,0,60,0,,,,,,,,,,,,,,,3,,,,"},
      {"Battery Discharge CC",  "Battery Discharge CC,,1,3,60,0,,,,,,,,,,,,,,,,,,,"},
      {"Battery Discharge CP",  "Battery Discharge CP,,5,3,60,0,,,,,,,,,,,,,,,,,,,"},
      {"Battery Cycle Life",    "Battery Cycle Life,,,,,,5,,,,,,,;2;1,;0.5;0,;10;5,;10;5,,,2.5,,;3;1,,,"},
  };
  // clang-format on
  return steps;
}

/// The sound step of `s.function` with `s.cells` written over it.
inline StepGrid Grid(const std::vector<Step>& steps) {
  std::vector<TestStep> rows;
  for (const Step& s : steps) {
    TestStep row;
    row[kColStepNo] = std::to_string(rows.size() + 1);
    row[kColFunction] = s.function;
    if (const auto sound = SoundSteps().find(s.function); sound != SoundSteps().end()) {
      std::size_t start = 0;
      for (int col = kColFunction; col < kStepColumns; ++col) {
        const std::size_t comma = std::min(sound->second.find(',', start), sound->second.size());
        row[col] = sound->second.substr(start, comma - start);
        start = comma + 1;
      }
    }
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
