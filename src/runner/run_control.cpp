#include "runner/run_control.h"

#include "commands/step_builders.h"
#include "runner/tick_session.h"

namespace kv {

RunRequest RunCommand(RunnerState& state, ResultLog& log) {
  log.Clear();
  state.lanReplies.clear();
  state.missedMeasurementsInRow = 0;
  state.lastMeasuredVolts.reset();
  state.currentRow = 1;
  state.stepPending = true;
  state.openStep.reset();
  state.running = true;
  // A tick of the previous run still waiting for the load must not go on.
  ++state.generation;
  return RunRequest{};
}

void StopCommand(RunnerState& state, InstrumentLink& link) {
  SendOffLine(state, link);
  HaltRunner(state);
}

bool SendOffLine(RunnerState& state, InstrumentLink& link) {
  if (state.currentFunction == StepFunction::SequenceLoad) {
    SequenceTestOff(link);
  } else {
    LoadOff(link);
  }
  const bool delivered = link.LastWriteDelivered();
  if (!delivered) {
    state.offLineOwed = true;
  }
  return delivered;
}

void HaltRunner(RunnerState& state) {
  state.running = false;
  ++state.generation;
}

namespace {

void EndRun(RunnerState& state, RunnerContext& ctx, StepEndReason stepReason,
            RunEndReason runReason) {
  if (state.running) {
    detail::ReportRunEnd(state, ctx, stepReason, runReason);
  }
}

}  // namespace

RunRequest RunCommand(RunnerState& state, RunnerContext& ctx) {
  EndRun(state, ctx, StepEndReason::Stopped, RunEndReason::Stopped);
  const RunRequest request = RunCommand(state, ctx.log);
  state.runStarted = ctx.clock.Now();
  state.runStartedMs = ctx.clock.TickMs();
  if (ctx.observer != nullptr) {
    ctx.observer->OnRunStarted(state.runStarted);
  }
  return request;
}

void StopCommand(RunnerState& state, RunnerContext& ctx, RunEndReason why) {
  const bool wasRunning = state.running;
  // The load is off first; the report comes after.
  const bool delivered = SendOffLine(state, ctx.link);
  HaltRunner(state);
  if (wasRunning) {
    if (delivered) {
      detail::ReportRunEnd(state, ctx, StepEndReason::Stopped, why);
    } else {
      detail::ReportRunEnd(state, ctx, StepEndReason::LinkLost, RunEndReason::LinkLost);
    }
  }
}

void HaltRunner(RunnerState& state, RunnerContext& ctx) {
  EndRun(state, ctx, StepEndReason::Stopped, RunEndReason::Stopped);
  HaltRunner(state);
}

void EndStepForLinkLoss(RunnerState& state, RunnerContext& ctx) {
  EndRun(state, ctx, StepEndReason::LinkLost, RunEndReason::LinkLost);
  HaltRunner(state);
}

}  // namespace kv
