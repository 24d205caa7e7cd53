#include "ui/run_state.h"

#include <iterator>
#include <utility>

namespace kv {

namespace {

struct KindLook {
  const char* text;
  std::uint32_t colour;
  const char* endMessage;
};

// Grey, green, slate, blue, orange, red: red only where someone has to act.
constexpr KindLook kLooks[] = {
    {"Idle", 0xD6D6D6, ""},
    {"Running", 0x2E7D32, ""},
    {"Stopped (load off)", 0x455A64, "Stopped: the load was turned off"},
    {"Finished", 0x1565C0, "Test Finished"},
    {"Link lost (load off)", 0xE65100, "Link lost: the load was reached again and turned off"},
    {"Link lost (load may be on)", 0xC62828,
     "Link lost: the load could not be reached; it may still be on"},
};
static_assert(std::size(kLooks) == static_cast<std::size_t>(RunStateKind::LinkLostLoadMayBeOn) + 1);

const KindLook& Look(RunStateKind kind) {
  return kLooks[static_cast<std::size_t>(kind)];
}

}  // namespace

void RunState::RunStarted() {
  kind_ = RunStateKind::Running;
  step_ = 0;
  steps_ = 0;
  function_.clear();
  loadTurnedOffAfterLoss_ = false;
  passes_ = 0;
  fails_ = 0;
}

void RunState::StepStarted(int step, int steps, std::string function) {
  kind_ = RunStateKind::Running;
  step_ = step;
  steps_ = steps;
  function_ = std::move(function);
}

void RunState::LinkLossHandled(bool loadTurnedOff) {
  loadTurnedOffAfterLoss_ = loadTurnedOff;
  // A Stop whose off line found the link gone ends the run first; the
  // attempt to reach the load again reports after that end.
  if (kind_ == RunStateKind::LinkLostLoadMayBeOn && loadTurnedOff) {
    kind_ = RunStateKind::LinkLostLoadOff;
  }
}

void RunState::VerdictSeen(bool pass) {
  ++(pass ? passes_ : fails_);
}

void RunState::RunEnded(RunEndReason reason) {
  switch (reason) {
    case RunEndReason::Completed:
      kind_ = RunStateKind::Finished;
      return;
    case RunEndReason::Stopped:
    case RunEndReason::Timeout:
    case RunEndReason::Unrecorded:
    case RunEndReason::RemoteStopped:
      kind_ = RunStateKind::Stopped;
      return;
    case RunEndReason::LinkLost:
      // Only the station's own report that its off line went out counts.
      kind_ = loadTurnedOffAfterLoss_ ? RunStateKind::LinkLostLoadOff
                                      : RunStateKind::LinkLostLoadMayBeOn;
      return;
  }
}

std::string RunState::Text() const {
  if (kind_ == RunStateKind::Running && step_ > 0) {
    return "Running (step " + std::to_string(step_) + " of " + std::to_string(steps_) + ", " +
           (function_.empty() ? std::string("no function") : function_) + ")" +
           (fails_ > 0 ? ", FAIL so far" : "");
  }
  std::string text = Look(kind_).text;
  if (kind_ != RunStateKind::Idle && (passes_ > 0 || fails_ > 0)) {
    text += fails_ > 0 ? ", FAIL" : ", PASS";
  }
  return text;
}

std::uint32_t RunState::Colour() const {
  return Look(kind_).colour;
}

std::string RunState::EndMessage() const {
  return Look(kind_).endMessage;
}

}  // namespace kv
