#pragma once
// The 26 columns of a step row, named by their header texts.

#include <array>
#include <string_view>

namespace kv {

enum Col : int {
  kColStepNo = 0,
  kColFunction = 1,
  kColMode = 2,
  kColSinkValue = 3,
  kColVStop = 4,
  kColTStop = 5,
  kColAhStop = 6,
  kColTimes = 7,
  kColStart = 8,
  kColStep = 9,   // OCP/OPP: the sweep's end level
  kColStop = 10,  // OCP/OPP: the sweep's increment
  kColVth = 11,
  kColLimitHigh = 12,
  kColLimitLow = 13,
  kColHigh = 14,
  kColLow = 15,
  kColTHigh = 16,
  kColTLow = 17,
  kColRise = 18,
  kColFall = 19,
  kColLoadOffV = 20,
  kColCvAdd = 21,
  kColCycleCount = 22,
  kColRampCc = 23,
  kColRampTime = 24,
  kColTotalStep = 25,
};

inline constexpr int kStepColumns = 26;

inline constexpr std::array<std::string_view, kStepColumns> kStepColumnHeaders = {
    "StepNo.", "Function",    "Mode",    "SinkValue", "VStop",      "TStop",      "AhStop",
    "Times",   "Start",       "Step",    "Stop",      "Vth",        "Limit High", "Limit Low",
    "High",    "Low",         "T-High",  "T-Low",     "Rise",       "Fall",       "Load Off V",
    "CV Add",  "Cycle Count", "Ramp CC", "Ramp Time", "Total Step",
};

}  // namespace kv
