#pragma once
// The ten cells of a result row, named by their captions ("No.", "StepTime",
// "V", "I", "W", "AH", "WH", "TotalTime", "Function Name", "Result").

namespace kv {

enum ResultCol : int {
  kResNo = 0,        // NextResultRow
  kResStepTime = 1,  // clock time of the row
  kResVoltage = 2,   // V (a ramp or cycle-life verdict row: the BATT:RVOLT? reply)
  kResCurrent = 3,   // I (an OCP verdict row: the trip current)
  kResPower = 4,     // W (an OPP verdict row: the trip power)
  kResAh = 5,
  kResWh = 6,
  kResTotalTime = 7,  // date and time stamp
  kResFunction = 8,   // the function name
  kResResult = 9,     // "PASS" / "FAIL" of a verdict row
};

inline constexpr int kResultColumns = 10;

}  // namespace kv
