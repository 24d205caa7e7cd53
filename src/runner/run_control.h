#pragma once
// Run and Stop. The station owns the timers; these functions change the
// runner state and tell the station which timers to start.

#include "link/instrument_link.h"
#include "results/result_log.h"
#include "runner/runner_state.h"
#include "runner/runner_tick.h"

namespace kv {

struct RunRequest {
  bool enableIdentification = true;  // Timer2: a fresh identification
  bool enableRunner = true;          // Timer1: ticks from now on
};

/// Clears the log (NextResultRow back to 1) and the LAN replies, sets the
/// runner to row 1 with its step pending and marks it running. Sends nothing.
/// Any tick still inside a wait gives up when it resumes.
RunRequest RunCommand(RunnerState& state, ResultLog& log);

/// Sends "SEQLD:TEST OFF" when the last step started was a Sequence Load,
/// otherwise "LOAD OFF", and halts the runner. Works at any time. The host
/// stops the runner's timer. A line that did not reach a working link sets
/// state.offLineOwed.
void StopCommand(RunnerState& state, InstrumentLink& link);

/// The off line of the step last started ("SEQLD:TEST OFF" after a Sequence
/// Load, otherwise "LOAD OFF"). Whether it reached a working link; when not,
/// state.offLineOwed is set. Does not halt the runner.
bool SendOffLine(RunnerState& state, InstrumentLink& link);

/// Halts the runner without sending anything: a tick in progress stops at its
/// next wait and does not re-enable the timer.
void HaltRunner(RunnerState& state);

// The same with reports to ctx.observer (OnRunStarted, OnStepEnded,
// OnRunEnded) for the run summary. Each reports only while a run is going,
// so a Stop after the end of the list reports nothing.

/// A run still going ends as stopped (its running step with it); then the
/// new run starts and is reported.
RunRequest RunCommand(RunnerState& state, RunnerContext& ctx);
/// Turns the load off as above through ctx.link, then reports the running
/// step and the run as stopped, or as link lost when the off line did not
/// reach the load.
void StopCommand(RunnerState& state, RunnerContext& ctx, RunEndReason why = RunEndReason::Stopped);
void HaltRunner(RunnerState& state, RunnerContext& ctx);
/// For the host that finds the link lost during a run: the running step and
/// the run end as "link lost" and the runner halts, so nothing more of the
/// run goes to the load. Turning the load off is left to the host.
void EndStepForLinkLoss(RunnerState& state, RunnerContext& ctx);

}  // namespace kv
