#pragma once
// The values of the running step that the command builders read. The runner
// fills it from the step's cells when the step starts; a field the starting
// step does not fill keeps its earlier value.

#include <cstdint>
#include <string>
#include <vector>

#include "text/number_text.h"

namespace kv {

struct StepParameters {
  std::string mode;       // Mode: load mode, or the sequence type of a Sequence Load
  std::string sinkValue;  // SinkValue
  std::string start;      // column 8 "Start"
  std::string stopValue;  // column 9, headed "Step": the OCP/OPP sweep's end level
  std::string stepSize;   // column 10, headed "Stop": the OCP/OPP sweep's increment
  std::string threshold;  // Vth
  std::string limitHigh;
  std::string limitLow;
  std::string high;
  std::string low;
  std::string timeHigh;
  std::string timeLow;
  std::string rise;
  std::string fall;
  std::string loadOffV;
  std::string cvValue;  // CV Add
  std::int16_t totalSteps = 0;
  std::int16_t repeat = 0;
  // Lists as split by SplitList: field 0 is the empty text before the first ";".
  std::vector<std::string> rampCurrents;
  std::vector<std::string> rampTimes;
  std::vector<std::string> cycleHigh;
  std::vector<std::string> cycleLow;
  std::vector<std::string> cycleHighTimes;
  std::vector<std::string> cycleLowTimes;
  std::vector<std::string> cycleCounts;
  // The runner's limits at the moment a builder is called.
  double voltageStop = 0.0;
  double ahStop = 0.0;
  Fixed4 secondsBudget = 0;
};

}  // namespace kv
