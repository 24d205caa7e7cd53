#pragma once
// The entry fields of the step editor panel. One table describes every field
// (caption, unit label, start text, target column) so that the editor model
// and its widgets cannot disagree about them.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "steps/step_columns.h"
#include "steps/step_function.h"

namespace kv {

enum class EditorField : int {
  // Stop Condition frame, shared by several functions.
  VStop,
  TStop,
  AhStop,
  DiscSinkValue,
  ForTimes,
  OcpStart,
  OcpStep,
  OcpStop,
  OcpVth,
  OcpIh,
  OcpIl,
  OppStart,
  OppStep,
  OppStop,
  OppVth,
  OppWh,
  OppWl,
  DynaHigh,
  DynaLow,
  DynaTHigh,
  DynaTLow,
  DynaRise,
  DynaFall,
  NormalSinkValue,
  RampTotalStep,
  RampStart,
  RampRepeat,
  RampLoadOffV,
  CcCvSinkValue,
  CcCvAddCv,
  CpCvSinkValue,
  CpCvAddCv,
  CcSinkValue,
  CpSinkValue,
  CycleRepeat,
  CycleLoadOffV,
  CvCc,
  CvCv,
  CvCp,
  CpCv,
  SeqLoadTotalStep,
  SeqLoadVth,
};
inline constexpr int kEditorFieldCount = 42;

/// The three load-mode option groups (Discharge, Dynamic, Normal frames).
enum class LoadModeGroup : int { Discharge, Dynamic, Normal };
inline constexpr int kLoadModeGroupCount = 3;
inline constexpr int kLoadModeCount = 4;
inline constexpr std::array<std::string_view, kLoadModeCount> kLoadModeNames = {"CC", "CR", "CV",
                                                                                "CP"};
inline constexpr std::array<std::string_view, kLoadModeCount> kLoadModeUnits = {"A", "Ohm", "V",
                                                                                "W"};
/// Dynamic's "CV" option exists (a file may hold it) but is never offered.
inline constexpr int kHiddenDynamicMode = 2;

/// Frame index of the fields that live on the Stop Condition frame.
inline constexpr int kStopConditionFrame = -1;
inline constexpr int kNoUnitGroup = -1;

struct EditorFieldInfo {
  EditorField field;
  std::string_view control;  // the control's name, used as the widget's object name
  int frame;                 // StepFunction index, or kStopConditionFrame
  std::string_view caption;
  std::string_view unit;       // fixed unit label ("" for none)
  int unitGroup;               // LoadModeGroup whose option sets the unit, or kNoUnitGroup
  std::string_view unitLabel;  // control name of a mode-dependent unit label
  std::string_view startText;
  int column;  // the step column the field writes and is shown from
};

// Order within a frame is the order on screen.
inline constexpr std::array<EditorFieldInfo, kEditorFieldCount> kEditorFields = {{
    {EditorField::VStop, "DiscVStopText", kStopConditionFrame, "Voltage", "V", kNoUnitGroup, "",
     "0", kColVStop},
    {EditorField::TStop, "DiscTStopText", kStopConditionFrame, "Time", "Seconds", kNoUnitGroup, "",
     "10", kColTStop},
    {EditorField::AhStop, "DiscAhStopText", kStopConditionFrame, "Capacity", "Ah", kNoUnitGroup, "",
     "0", kColAhStop},
    {EditorField::DiscSinkValue, "DiscSinkValueText", 0, "Load Value", "", 0, "DiscUnitLabel", "1",
     kColSinkValue},
    {EditorField::ForTimes, "ForTimesText", 2, "Times", "", kNoUnitGroup, "", "3", kColTimes},
    {EditorField::OcpStart, "OCPStartText", 5, "Start", "A", kNoUnitGroup, "", "0", kColStart},
    // The field captioned "Step" is the increment and goes to the column titled
    // "Stop"; the field captioned "Stop" is the end level and goes to "Step".
    {EditorField::OcpStep, "OCPStepText", 5, " Step", "A", kNoUnitGroup, "", "0.1", kColStop},
    {EditorField::OcpStop, "OCPStopText", 5, " Stop", "A", kNoUnitGroup, "", "10", kColStep},
    {EditorField::OcpVth, "OCPVthText", 5, "Vth", "V", kNoUnitGroup, "", "0.6", kColVth},
    {EditorField::OcpIh, "OCPIhText", 5, "IH", "A", kNoUnitGroup, "", "10", kColLimitHigh},
    {EditorField::OcpIl, "OCPIlText", 5, "IL", "A", kNoUnitGroup, "", "3", kColLimitLow},
    {EditorField::OppStart, "OPPStartText", 6, "Start", "W", kNoUnitGroup, "", "0", kColStart},
    {EditorField::OppStep, "OPPStepText", 6, "Step", "W", kNoUnitGroup, "", "0.1", kColStop},
    {EditorField::OppStop, "OPPStopText", 6, "Stop", "W", kNoUnitGroup, "", "30", kColStep},
    {EditorField::OppVth, "OPPVthText", 6, "Vth", "V", kNoUnitGroup, "", "0.6", kColVth},
    {EditorField::OppWh, "OPPWhText", 6, "WH", "W", kNoUnitGroup, "", "30", kColLimitHigh},
    {EditorField::OppWl, "OPPWlText", 6, "WL", "W", kNoUnitGroup, "", "3", kColLimitLow},
    {EditorField::DynaHigh, "DynaHighText", 7, "High", "", 1, "DyncHUnitLabel", "3", kColHigh},
    {EditorField::DynaLow, "DynaLowText", 7, "Low", "", 1, "DyncLUnitLabel", "1", kColLow},
    {EditorField::DynaTHigh, "DynaTHighText", 7, "T-High", "ms", kNoUnitGroup, "", "0.05",
     kColTHigh},
    {EditorField::DynaTLow, "DynaTLowText", 7, "T-Low", "ms", kNoUnitGroup, "", "0.05", kColTLow},
    {EditorField::DynaRise, "DynaRiseText", 7, "RISE", "mA/us", kNoUnitGroup, "", "0.384",
     kColRise},
    {EditorField::DynaFall, "DynaFallText", 7, "FALL", "mA/us", kNoUnitGroup, "", "0.384",
     kColFall},
    {EditorField::NormalSinkValue, "NormalSinkValueText", 8, "Sink Value", "", 2, "NormalUnitLabel",
     "1", kColSinkValue},
    {EditorField::RampTotalStep, "RampTotalStepText", 9, "Total Step", "", kNoUnitGroup, "", "0",
     kColTotalStep},
    {EditorField::RampStart, "RampStartText", 9, "Start", "A", kNoUnitGroup, "", "0",
     kColSinkValue},
    {EditorField::RampRepeat, "RampRepeatText", 9, "Repeat", "", kNoUnitGroup, "", "0", kColTimes},
    {EditorField::RampLoadOffV, "RampLoadOffVText", 9, "Load Off Voltage", "V", kNoUnitGroup, "",
     "0", kColLoadOffV},
    {EditorField::CcCvSinkValue, "CCCVSinkValueText", 10, "Sink Value", "A", kNoUnitGroup, "", "20",
     kColSinkValue},
    {EditorField::CcCvAddCv, "CCCVAddCVText", 10, "Add CV Value", "V", kNoUnitGroup, "", "50",
     kColCvAdd},
    {EditorField::CpCvSinkValue, "CPCVSinkValueText", 11, "Sink Value", "W", kNoUnitGroup, "", "20",
     kColSinkValue},
    {EditorField::CpCvAddCv, "CPCVAddCVText", 11, "Add CV Value", "V", kNoUnitGroup, "", "50",
     kColCvAdd},
    {EditorField::CcSinkValue, "CCSinkValueText", 12, "Current Value", "A", kNoUnitGroup, "", "1",
     kColSinkValue},
    {EditorField::CpSinkValue, "CPSinkValueText", 13, "Power Value", "W", kNoUnitGroup, "", "20",
     kColSinkValue},
    {EditorField::CycleRepeat, "CycleRepeatText", 14, "Repeat", "", kNoUnitGroup, "", "0",
     kColTimes},
    {EditorField::CycleLoadOffV, "CycleLoadOffVText", 14, "Load Off Voltage", "V", kNoUnitGroup, "",
     "0", kColLoadOffV},
    {EditorField::CvCc, "CVCCText", 15, "Current Limit", "A", kNoUnitGroup, "", "20",
     kColSinkValue},
    {EditorField::CvCv, "CVCVText", 15, "CV Value", "V", kNoUnitGroup, "", "50", kColCvAdd},
    {EditorField::CvCp, "CVCPText", 16, "Power Limit", "W", kNoUnitGroup, "", "20", kColSinkValue},
    {EditorField::CpCv, "CPCVText", 16, "CV Value", "V", kNoUnitGroup, "", "50", kColCvAdd},
    {EditorField::SeqLoadTotalStep, "SeqLoadTotalStepText", 18, "Total Step", "", kNoUnitGroup, "",
     "0", kColTotalStep},
    {EditorField::SeqLoadVth, "SeqLoadVthText", 18, "Vth", "V", kNoUnitGroup, "", "0",
     kColLoadOffV},
}};

constexpr const EditorFieldInfo& FieldInfo(EditorField f) {
  return kEditorFields[static_cast<std::size_t>(f)];
}

/// Which Stop Condition fields a function shows.
enum class StopConditionView { Hidden, TimeOnly, All };
StopConditionView StopConditionViewOf(StepFunction f);

/// The load-mode group on a function's frame, if it has one.
std::optional<LoadModeGroup> LoadModeGroupOf(StepFunction f);

/// Why `text` cannot stand in field `f` ("" when it can): every field holds
/// one decimal number (sign, point, exponent) that is not negative; only the
/// voltage and capacity stops may stay blank (no such stop). A comma as the
/// decimal separator gets its own reason, since "3,5" would be read as 3.
std::string FieldTextProblem(EditorField f, std::string_view text);

}  // namespace kv
