#include "runner/run_control.h"

#include "commands/step_builders.h"

namespace kv {

RunRequest RunCommand(RunnerState& state, ResultLog& log) {
  log.Clear();
  state.lanReplies.clear();
  state.missedMeasurementsInRow = 0;
  state.currentRow = 1;
  state.stepPending = true;
  state.running = true;
  // A tick of the previous run still waiting for the load must not go on.
  ++state.generation;
  return RunRequest{};
}

void StopCommand(RunnerState& state, InstrumentLink& link) {
  if (state.currentFunction == StepFunction::SequenceLoad) {
    SequenceTestOff(link);
  } else {
    LoadOff(link);
  }
  HaltRunner(state);
}

void HaltRunner(RunnerState& state) {
  state.running = false;
  ++state.generation;
}

}  // namespace kv
