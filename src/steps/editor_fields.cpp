#include "steps/editor_fields.h"

namespace kv {

namespace {

constexpr bool FieldTableInEnumOrder() {
  for (int i = 0; i < kEditorFieldCount; ++i) {
    if (static_cast<int>(kEditorFields[static_cast<std::size_t>(i)].field) != i) {
      return false;
    }
  }
  return true;
}
static_assert(FieldTableInEnumOrder(), "FieldInfo() indexes the table by the enum");

}  // namespace

StopConditionView StopConditionViewOf(StepFunction f) {
  switch (f) {
    case StepFunction::Discharge:
    case StepFunction::Dynamic:
    case StepFunction::Normal:
    case StepFunction::BatteryDischargeCc:
    case StepFunction::BatteryDischargeCp:
    case StepFunction::DynamicOff:
      return StopConditionView::All;
    case StepFunction::Rest:
    case StepFunction::Short:
    case StepFunction::BatteryCcCv:
    case StepFunction::BatteryCpCv:
    case StepFunction::CvWithCurrentLimit:
    case StepFunction::CvWithPowerLimit:
      return StopConditionView::TimeOnly;
    default:
      return StopConditionView::Hidden;
  }
}

std::optional<LoadModeGroup> LoadModeGroupOf(StepFunction f) {
  switch (f) {
    case StepFunction::Discharge:
      return LoadModeGroup::Discharge;
    case StepFunction::Dynamic:
      return LoadModeGroup::Dynamic;
    case StepFunction::Normal:
      return LoadModeGroup::Normal;
    default:
      return std::nullopt;
  }
}

}  // namespace kv
