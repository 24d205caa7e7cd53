#include "results/identification.h"

#include <exception>

#include "steps/step_function.h"

namespace kv {

namespace {

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool HasAnyOf(std::string_view text, std::string_view letters) {
  return text.find_first_of(letters) != std::string_view::npos;
}

bool IsOffered(StepFunction f, std::string_view model) {
  switch (f) {
    case StepFunction::Discharge:
    case StepFunction::Rest:
    case StepFunction::For:
    case StepFunction::Loop:
    case StepFunction::Short:
    case StepFunction::Ocp:
    case StepFunction::Opp:
    case StepFunction::Dynamic:
    case StepFunction::Normal:
    case StepFunction::DynamicOff:
      return true;
    default:
      break;
  }
  if (Has(model, kErrRec)) {
    return false;
  }
  switch (f) {
    case StepFunction::BatteryRamp:
      return Has(model, "G") ? !Has(model, "Q7") : HasAnyOf(model, "CEA");
    case StepFunction::BatteryCcCv:
    case StepFunction::BatteryCpCv:
    case StepFunction::CvWithCurrentLimit:
    case StepFunction::CvWithPowerLimit:
      return HasAnyOf(model, "CEAG");
    case StepFunction::BatteryDischargeCc:
    case StepFunction::BatteryDischargeCp:
    case StepFunction::BatteryCycleLife:
      return !Has(model, "F");
    case StepFunction::SequenceLoad:
      return Has(model, "G") && !Has(model, "Q7Z");
    default:
      return false;
  }
}

}  // namespace

std::vector<std::string> OfferedFunctions(std::string_view modelText) {
  std::vector<std::string> offered;
  for (int i = 0; i < kStepFunctionCount; ++i) {
    const auto f = static_cast<StepFunction>(i);
    if (IsOffered(f, modelText)) {
      offered.emplace_back(StepFunctionName(f));
    }
  }
  return offered;
}

bool IsBatteryCapable(std::string_view modelText) {
  return Has(modelText, "G");
}

std::string IdentifyInstrument(InstrumentLink& link) {
  std::string model(kErrRec);
  // A link that fails leaves the model unknown; identification must never
  // take the caller down with it. Every link throws only what the standard
  // library throws (std::bad_alloc and kin), so that is what is caught.
  try {
    link.OpenInstrument(link.ConnectMode());
    link.WriteInstrument("name?");
    model = link.ReadInstrument();
  } catch (const std::exception&) {
    model = std::string(kErrRec);
  }
  return model;
}

}  // namespace kv
