#pragma once
// Step lists for the check's tests, written as a function and the cells that
// differ from a step the check has nothing to say about.

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

/// Cells of a sound step of each function.
inline const std::map<std::string, std::vector<std::pair<int, std::string>>>& SoundCells() {
  static const std::map<std::string, std::vector<std::pair<int, std::string>>> cells = {
      {"Discharge", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColVStop, "0"}, {kColTStop, "10"}}},
      {"Rest", {{kColTStop, "5"}}},
      {"FOR", {{kColTimes, "2"}}},
      {"Normal", {{kColMode, "CC"}, {kColSinkValue, "1"}, {kColTStop, "4"}}},
      {"Short", {{kColTStop, "2"}}},
      {"Dynamic",
       {{kColMode, "CC"},
        {kColHigh, "2"},
        {kColLow, "0.2"},
        {kColTHigh, "500"},
        {kColTLow, "500"},
        {kColRise, "100"},
        {kColFall, "100"},
        {kColTStop, "6"}}},
      {"OCP",
       {{kColStart, "0"},
        {kColStep, "8"},
        {kColStop, "0.5"},
        {kColVth, "1"},
        {kColLimitHigh, "6"},
        {kColLimitLow, "5"}}},
      {"Battery RAMP",
       {{kColSinkValue, "0.5"},
        {kColTotalStep, "2"},
        {kColRampCc, ";1;2"},
        {kColRampTime, ";10;10"},
        {kColLoadOffV, "2.8"},
        {kColTimes, "1"}}},
      {"Sequence Load",
       {{kColMode, "CC"},
        {kColTotalStep, "2"},
        {kColRampCc, ";1;2"},
        {kColRampTime, ";500;500"},
        {kColLoadOffV, "1"}}},
      {"Battery CC+CV",
       {{kColSinkValue, "1"}, {kColCvAdd, "3"}, {kColVStop, "2.5"}, {kColTStop, "60"}}},
      {"CV with Current Limit", {{kColSinkValue, "1"}, {kColCvAdd, "3"}, {kColTStop, "60"}}},
      {"Battery Discharge CC", {{kColSinkValue, "1"}, {kColVStop, "3"}, {kColTStop, "60"}}},
      {"Battery Cycle Life",
       {{kColTimes, "5"},
        {kColHigh, ";2;1"},
        {kColLow, ";0.5;0"},
        {kColTHigh, ";10;5"},
        {kColTLow, ";10;5"},
        {kColCycleCount, ";3;1"},
        {kColLoadOffV, "2.5"}}},
  };
  return cells;
}

/// The sound step of `s.function` with `s.cells` written over it.
inline StepGrid Grid(const std::vector<Step>& steps) {
  std::vector<TestStep> rows;
  for (const Step& s : steps) {
    TestStep row;
    row[kColStepNo] = std::to_string(rows.size() + 1);
    row[kColFunction] = s.function;
    if (const auto sound = SoundCells().find(s.function); sound != SoundCells().end()) {
      for (const auto& [col, text] : sound->second) {
        row[col] = text;
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
