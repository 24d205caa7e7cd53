#pragma once
// The 19 step functions in their fixed order. The index is also the index of
// the function's frame in the editor panel.

#include <array>
#include <optional>
#include <string_view>

namespace kv {

enum class StepFunction {
  Discharge = 0,
  Rest,
  For,
  Loop,
  Short,
  Ocp,
  Opp,
  Dynamic,
  Normal,
  BatteryRamp,
  BatteryCcCv,
  BatteryCpCv,
  BatteryDischargeCc,
  BatteryDischargeCp,
  BatteryCycleLife,
  CvWithCurrentLimit,
  CvWithPowerLimit,
  DynamicOff,
  SequenceLoad,
};

inline constexpr int kStepFunctionCount = 19;

inline constexpr std::array<std::string_view, kStepFunctionCount> kStepFunctionNames = {
    "Discharge",
    "Rest",
    "FOR",
    "LOOP",
    "Short",
    "OCP",
    "OPP",
    "Dynamic",
    "Normal",
    "Battery RAMP",
    "Battery CC+CV",
    "Battery CP+CV",
    "Battery Discharge CC",
    "Battery Discharge CP",
    "Battery Cycle Life",
    "CV with Current Limit",
    "CV with Power Limit",
    "Dynamic Off",
    "Sequence Load",
};

constexpr std::string_view StepFunctionName(StepFunction f) {
  return kStepFunctionNames[static_cast<std::size_t>(f)];
}

/// Exact, case-sensitive lookup; nullopt for any other text.
constexpr std::optional<StepFunction> FindStepFunction(std::string_view name) {
  for (std::size_t i = 0; i < kStepFunctionNames.size(); ++i) {
    if (kStepFunctionNames[i] == name) {
      return static_cast<StepFunction>(i);
    }
  }
  return std::nullopt;
}

}  // namespace kv
