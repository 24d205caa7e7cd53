#include "runner/step_end.h"

#include <string>
#include <utility>

#include "runner/tick_session.h"
#include "text/number_text.h"

namespace kv {

std::string_view StepEndReasonName(StepEndReason reason) {
  switch (reason) {
    case StepEndReason::Voltage:
      return "voltage";
    case StepEndReason::Ah:
      return "ah";
    case StepEndReason::Time:
      return "time";
    case StepEndReason::Completed:
      return "completed";
    case StepEndReason::Skipped:
      return "skipped";
    case StepEndReason::Stopped:
      return "stopped";
    case StepEndReason::LinkLost:
      return "link-lost";
    case StepEndReason::EndOfList:
      return "end-of-list";
    case StepEndReason::Unrecorded:
      return "unrecorded";
  }
  return "";
}

std::string_view StepEndReasonText(StepEndReason reason) {
  switch (reason) {
    case StepEndReason::Voltage:
      return "voltage stop";
    case StepEndReason::Ah:
      return "Ah stop";
    case StepEndReason::Time:
      return "time stop";
    case StepEndReason::Completed:
      return "completed by the load";
    case StepEndReason::Skipped:
      return "skipped";
    case StepEndReason::Stopped:
      return "Stop pressed";
    case StepEndReason::LinkLost:
      return "link lost";
    case StepEndReason::EndOfList:
      return "end of list";
    case StepEndReason::Unrecorded:
      return "end not recorded";
  }
  return "";
}

std::string_view SkipReasonName(SkipReason reason) {
  switch (reason) {
    case SkipReason::None:
      return "";
    case SkipReason::NoFunction:
      return "no-function";
    case SkipReason::UnknownFunction:
      return "unknown-function";
    case SkipReason::NotOffered:
      return "not-offered";
  }
  return "";
}

std::string_view StepVerdictText(StepVerdict verdict) {
  switch (verdict) {
    case StepVerdict::None:
      return "";
    case StepVerdict::Pass:
      return "PASS";
    case StepVerdict::Fail:
      return "FAIL";
  }
  return "";
}

std::string_view RunEndReasonName(RunEndReason reason) {
  switch (reason) {
    case RunEndReason::Completed:
      return "completed";
    case RunEndReason::Stopped:
      return "stopped";
    case RunEndReason::LinkLost:
      return "link-lost";
    case RunEndReason::Timeout:
      return "timeout";
    case RunEndReason::Unrecorded:
      return "unrecorded";
    case RunEndReason::RemoteStopped:
      return "stopped-remote";
  }
  return "";
}

std::string_view RunEndReasonText(RunEndReason reason) {
  switch (reason) {
    case RunEndReason::Completed:
      return "completed: end of list";
    case RunEndReason::Stopped:
      return "Stop pressed";
    case RunEndReason::LinkLost:
      return "link lost";
    case RunEndReason::Timeout:
      return "stopped: time allowed for the run exceeded";
    case RunEndReason::Unrecorded:
      return "reopened from its rows: how the run ended is not recorded";
    case RunEndReason::RemoteStopped:
      return "stopped (remote)";
  }
  return "";
}

std::string StepEndNote(const StepEnd& end) {
  std::string note(StepEndReasonText(end.reason));
  switch (end.skip) {
    case SkipReason::None:
      break;
    case SkipReason::NoFunction:
      note += ": no function";
      break;
    case SkipReason::UnknownFunction:
      note += ": unknown function \"" + end.functionName + "\"";
      break;
    case SkipReason::NotOffered:
      note += ": " + end.functionName + " is not available on this model";
      break;
  }
  if (end.verdict != StepVerdict::None) {
    note += ", ";
    note += StepVerdictText(end.verdict);
  }
  if (end.noTrip) {
    const std::string unit = end.function == StepFunction::Opp ? " W" : " A";
    note += ": no trip up to " + FormatNumber(end.noTrip->upTo) + unit;
    if (end.noTrip->fromZero) {
      note += ", or a trip at 0" + unit;
    }
  }
  return note;
}

namespace detail {

namespace {

double SecondsSince(const Clock& clock, std::int64_t startMs) {
  return static_cast<double>(clock.TickMs() - startMs) / 1000.0;
}

}  // namespace

void EndOpenStep(RunnerState& state, RunnerContext& ctx, StepEndReason reason, StepVerdict verdict,
                 SkipReason skip) {
  if (!state.openStep) {
    return;
  }
  OpenStep open = std::move(*state.openStep);
  state.openStep.reset();
  if (ctx.observer == nullptr) {
    return;
  }
  StepEnd end;
  end.row = open.row;
  end.function = open.function;
  end.functionName = std::move(open.functionName);
  end.reason = reason;
  end.skip = skip;
  end.verdict = verdict;
  end.noTrip = open.noTrip;
  end.ah = state.stepAh;
  end.wh = state.stepWh;
  end.started = open.started;
  end.ended = ctx.clock.Now();
  end.seconds = SecondsSince(ctx.clock, open.startedMs);
  ctx.observer->OnStepEnded(end);
}

void ReportRunEnd(RunnerState& state, RunnerContext& ctx, StepEndReason stepReason,
                  RunEndReason runReason) {
  EndOpenStep(state, ctx, stepReason);
  if (ctx.observer == nullptr) {
    return;
  }
  RunEnd end;
  end.reason = runReason;
  end.started = state.runStarted;
  end.ended = ctx.clock.Now();
  end.seconds = SecondsSince(ctx.clock, state.runStartedMs);
  ctx.observer->OnRunEnded(end);
}

}  // namespace detail

}  // namespace kv
