#include "check/function_rules.h"

#include <array>
#include <cstddef>

#include "steps/step_columns.h"

namespace kv {

namespace {

using enum CellUse;

constexpr CellRule kDischarge[] = {
    {kColSinkValue, Sent}, {kColVStop, Read}, {kColTStop, Read}, {kColAhStop, Read}};
constexpr CellRule kTimeOnly[] = {{kColTStop, Read}};
constexpr CellRule kFor[] = {{kColTimes, Count}};
constexpr CellRule kSweep[] = {{kColStart, Sent},
                               {kColStep, Sent},
                               {kColStop, Sent},
                               {kColVth, Sent},
                               {kColLimitHigh, SentAndJudged},
                               {kColLimitLow, SentAndJudged}};
constexpr CellRule kDynamic[] = {{kColHigh, Sent}, {kColLow, Sent},  {kColTHigh, Sent},
                                 {kColTLow, Sent}, {kColRise, Sent}, {kColFall, Sent},
                                 {kColTStop, Read}};
constexpr CellRule kNormal[] = {{kColSinkValue, Sent}, {kColTStop, Read}};
constexpr CellRule kRamp[] = {{kColSinkValue, Sent},
                              {kColTotalStep, CountSent},
                              {kColLoadOffV, SentAndJudged},
                              {kColTimes, CountSent}};
constexpr CellRule kSequence[] = {{kColTotalStep, CountSent}, {kColLoadOffV, Sent}};
constexpr CellRule kCvLimit[] = {{kColSinkValue, Sent},
                                 {kColCvAdd, Sent},
                                 {kColVStop, Read},
                                 {kColTStop, Read},
                                 {kColAhStop, Read}};
constexpr CellRule kBatteryDischarge[] = {{kColSinkValue, Sent},
                                          {kColVStop, ReadAndSent},
                                          {kColTStop, ReadAndSent},
                                          {kColAhStop, ReadAndSent}};
constexpr CellRule kCycleLife[] = {{kColLoadOffV, SentAndJudged}, {kColTimes, CountSent}};

using enum NumberTest;
constexpr auto kError = Severity::Error;
constexpr auto kWarning = Severity::Warning;

// OCP and OPP alike: the load sweeps up from Start in steps of Stop to Step,
// and the verdict passes a trip level from Limit Low to Limit High.
constexpr NumberRule kSweepNumbers[] = {
    {NotAbove, kError, kColStart, kColStep,
     "the sweep runs upward from Start, so it tests Start alone"},
    {AboveZero, kError, kColStop, -1, "the sweep never rises from Start"},
    {NotAbove, kError, kColLimitLow, kColLimitHigh, "no trip can pass"},
    // The pass limits against the levels swept, once the sweep and the limits are sound.
    {NotAbove, kError, kColLimitLow, kColStep, "no trip of the sweep can pass", true},
    {NotAbove, kError, kColStart, kColLimitHigh, "no trip of the sweep can pass", true},
    {NotAbove, kWarning, kColLimitHigh, kColStep,
     "a supply that would trip between them is never reached and fails", true},
    {NotAbove, kWarning, kColStart, kColLimitLow,
     "a supply that trips below Start trips at the first level and passes there", true},
};
constexpr NumberRule kDynamicNumbers[] = {
    {NotAbove, kError, kColLow, kColHigh, "the load is given a low level above its high level"},
    {AboveZero, kError, kColTHigh, -1, "the load never holds the High level"},
    {AboveZero, kError, kColTLow, -1, "the load never holds the Low level"},
    {AboveZero, kError, kColRise, -1, "a slew rate of 0 never rises from Low to High"},
    {AboveZero, kError, kColFall, -1, "a slew rate of 0 never falls from High to Low"},
};
constexpr NumberRule kSequenceNumbers[] = {
    {EntriesAboveZero, kError, kColRampTime, -1, "the load gives that sub-step no time"},
    {EntriesAboveZero, kWarning, kColRampCc, -1, "the load draws nothing during that sub-step"},
};

using F = StepFunction;

// In StepFunction order; RulesFor relies on it.
constexpr std::array<FunctionRules, kStepFunctionCount> kRules = {{
    {.function = F::Discharge,
     .budget = Budget::TStop,
     .cellStops = true,
     .hold = VoltageHold::SinkInCvMode,
     .mode = ModeRule::LoadMode,
     .cells = kDischarge},
    {.function = F::Rest, .budget = Budget::TStop, .idle = true, .cells = kTimeOnly},
    {.function = F::For, .budget = Budget::None, .cells = kFor},
    {.function = F::Loop, .budget = Budget::None},
    {.function = F::Short, .budget = Budget::TStop, .cells = kTimeOnly},
    {.function = F::Ocp,
     .budget = Budget::Untimed,
     .loadEnds = true,
     .verdictRow = true,
     .cells = kSweep,
     .numbers = kSweepNumbers},
    {.function = F::Opp,
     .budget = Budget::Untimed,
     .loadEnds = true,
     .verdictRow = true,
     .cells = kSweep,
     .numbers = kSweepNumbers},
    {.function = F::Dynamic,
     .budget = Budget::TStop,
     .stopCellsIgnored = true,
     .mode = ModeRule::LoadMode,
     .dynamic = DynamicMode::TurnsOn,
     .cells = kDynamic,
     .numbers = kDynamicNumbers},
    {.function = F::Normal, .budget = Budget::TStop, .mode = ModeRule::LoadMode, .cells = kNormal},
    {.function = F::BatteryRamp,
     .budget = Budget::Untimed,
     .batteryModel = true,
     .loadEnds = true,
     .verdictRow = true,
     .table = SubTable::Ramp,
     .cells = kRamp},
    {.function = F::BatteryCcCv,
     .budget = Budget::TStop,
     .cellStops = true,
     .batteryModel = true,
     .hold = VoltageHold::CvAddAfterCc,
     .cells = kCvLimit},
    {.function = F::BatteryCpCv,
     .budget = Budget::TStop,
     .cellStops = true,
     .batteryModel = true,
     .hold = VoltageHold::CvAddAfterCc,
     .cells = kCvLimit},
    {.function = F::BatteryDischargeCc,
     .budget = Budget::TStopPlusOne,
     .cellStops = true,
     .batteryModel = true,
     .cells = kBatteryDischarge},
    {.function = F::BatteryDischargeCp,
     .budget = Budget::TStopPlusOne,
     .cellStops = true,
     .batteryModel = true,
     .ahStopSentAsWh = true,
     .cells = kBatteryDischarge},
    {.function = F::BatteryCycleLife,
     .budget = Budget::Untimed,
     .batteryModel = true,
     .loadEnds = true,
     .verdictRow = true,
     .table = SubTable::CycleLife,
     .cells = kCycleLife},
    {.function = F::CvWithCurrentLimit,
     .budget = Budget::TStop,
     .cellStops = true,
     .batteryModel = true,
     .hold = VoltageHold::CvAdd,
     .cells = kCvLimit},
    {.function = F::CvWithPowerLimit,
     .budget = Budget::TStop,
     .cellStops = true,
     .batteryModel = true,
     .hold = VoltageHold::CvAdd,
     .cells = kCvLimit},
    {.function = F::DynamicOff, .budget = Budget::Zero, .dynamic = DynamicMode::TurnsOff},
    {.function = F::SequenceLoad,
     .budget = Budget::TenSeconds,
     .batteryModel = true,
     .loadEnds = true,
     .mode = ModeRule::SequenceType,
     .table = SubTable::Sequence,
     .cells = kSequence,
     .numbers = kSequenceNumbers},
}};

constexpr bool InFunctionOrder() {
  for (std::size_t i = 0; i < kRules.size(); ++i) {
    if (static_cast<std::size_t>(kRules[i].function) != i) {
      return false;
    }
  }
  return true;
}
static_assert(InFunctionOrder());

}  // namespace

const FunctionRules& RulesFor(StepFunction function) {
  return kRules[static_cast<std::size_t>(function)];
}

}  // namespace kv
