#include "steps/editor_fields.h"

#include "text/decimal_number.h"

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

std::string FieldTextProblem(EditorField f, std::string_view text) {
  while (!text.empty() && IsNumberBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsNumberBlank(text.back())) {
    text.remove_suffix(1);
  }
  if (text.empty()) {
    return f == EditorField::VStop || f == EditorField::AhStop ? "" : "enter a number";
  }
  DecimalNumber n;
  const std::size_t end = ScanNumber(text, NumberSyntax{}, n);
  if (end == text.size()) {
    return n.negative && !n.IsZero() ? "must not be negative" : "";
  }
  if (end > 0 && text[end] == ',') {
    return "use a point as the decimal separator";
  }
  return "is not a number";
}

}  // namespace kv
