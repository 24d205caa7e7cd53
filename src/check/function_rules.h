#pragma once
// How the runner treats each step function, as data: which cells it sends to
// the load or reads itself, how its time budget is set, which stops apply and
// what ends it. The check and the plan read this table instead of testing
// function names.

#include <span>
#include <string_view>

#include "check/check_finding.h"
#include "steps/step_function.h"

namespace kv {

/// Where the running step's time budget comes from.
enum class Budget {
  None,          // FOR and LOOP take no tick of their own
  TStop,         // the TStop cell
  TStopPlusOne,  // the TStop cell plus one second (the load's own timer ends first)
  TenSeconds,    // a fixed 10 s, whatever the cells hold
  Zero,          // ends in the tick it starts
  Untimed,       // no time stop: the load reports the end of its test
};

/// What happens to a cell's text when the step starts.
enum class CellUse {
  Sent,           // goes to the load as it stands
  SentAndJudged,  // goes to the load as it stands, and the verdict reads its number
  Read,           // the runner reads its number (unreadable text counts as 0)
  ReadAndSent,    // the runner reads its number and sends that number
  Count,          // the runner reads a whole number (rounded) and uses it
  CountSent,      // as Count, and the whole number goes to the load
};

struct CellRule {
  int col;
  CellUse use;
};

/// Which level the load holds the voltage at, where the step holds one.
enum class VoltageHold {
  None,
  SinkInCvMode,  // SinkValue, when Mode is "CV"
  CvAdd,         // CV Add from the start
  CvAddAfterCc,  // CV Add, once the constant-current phase has brought it down
};

enum class ModeRule {
  None,
  LoadMode,      // CC, CR, CV or CP
  SequenceType,  // CC or CP
};

enum class SubTable { None, Ramp, Sequence, CycleLife };

/// What a step's numbers must keep for the step to do what it says.
enum class NumberTest {
  AboveZero,         // cell a > 0
  NotAbove,          // cell a <= cell b
  EntriesAboveZero,  // each entry of list a that goes to the load > 0
};

/// One such rule and what breaking it does. Cells that are not numbers are
/// the cell check's business and are not compared.
struct NumberRule {
  NumberTest test;
  Severity severity;
  int a;
  int b = -1;
  std::string_view consequence;
  /// Checked only when no rule before it found an error: it assumes they hold.
  bool dependent = false;
};

/// What the step does to the load's dynamic (pulsed) mode, which stays in
/// force until it is turned off.
enum class DynamicMode { Untouched, TurnsOn, TurnsOff };

struct FunctionRules {
  StepFunction function;
  Budget budget;
  /// The VStop and AhStop cells set the runner's voltage and ampere-hour stops.
  bool cellStops = false;
  /// The step runs only on a battery-capable model; on another it is skipped.
  bool batteryModel = false;
  /// The VStop and AhStop cells are written for this function but not applied.
  bool stopCellsIgnored = false;
  /// The load is given AhStop as a watt-hour limit, while the runner's own
  /// stop compares ampere-hours with it.
  bool ahStopSentAsWh = false;
  /// The load ends the step (or may end it before its time budget).
  bool loadEnds = false;
  /// The step only waits with the load off: ending it at once harms nothing.
  bool idle = false;
  /// A result row with a verdict is added when the load ends the step.
  bool verdictRow = false;
  VoltageHold hold = VoltageHold::None;
  ModeRule mode = ModeRule::None;
  SubTable table = SubTable::None;
  DynamicMode dynamic = DynamicMode::Untouched;
  std::span<const CellRule> cells{};
  std::span<const NumberRule> numbers{};
};

const FunctionRules& RulesFor(StepFunction function);

}  // namespace kv
