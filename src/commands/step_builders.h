#pragma once
// The command builders: each sends the lines that program the load for one
// part of a step, in a fixed order. Builders never read a reply.

#include "commands/step_parameters.h"
#include "link/instrument_link.h"

namespace kv {

// Single-line builders.
void LoadOn(InstrumentLink& link);
void LoadOff(InstrumentLink& link);
void ShortOn(InstrumentLink& link);
void ShortOff(InstrumentLink& link);
void StartTest(InstrumentLink& link);
void StopTest(InstrumentLink& link);
void SetRampOn(InstrumentLink& link);
void DynamicOn(InstrumentLink& link);
void DynamicOff(InstrumentLink& link);
void BatteryDynamicOn(InstrumentLink& link);
void SequenceTestOn(InstrumentLink& link);
void SequenceTestOff(InstrumentLink& link);

// Multi-line builders.
void SetModeLevels(const StepParameters& p, InstrumentLink& link);
void ConfigureNormal(const StepParameters& p, InstrumentLink& link);
void ConfigureDynamic(const StepParameters& p, InstrumentLink& link);
void ConfigureOcp(const StepParameters& p, InstrumentLink& link);
void ConfigureOpp(const StepParameters& p, InstrumentLink& link);
void ConfigureCcCv(const StepParameters& p, InstrumentLink& link);
void ConfigureCpCv(const StepParameters& p, InstrumentLink& link);
void ConfigureBatteryDischargeCc(const StepParameters& p, InstrumentLink& link);
void ConfigureBatteryDischargeCp(const StepParameters& p, InstrumentLink& link);
void ConfigureBatteryRamp(const StepParameters& p, InstrumentLink& link);
/// One five-line group per entry of the step's own High list (0 to 3).
void ConfigureCycleLife(const StepParameters& p, InstrumentLink& link);
void ConfigureSequence(const StepParameters& p, InstrumentLink& link);

}  // namespace kv
