#pragma once
// What the state indicator beside Start/Stop says, in words and colour, and
// what the status line says when a run ends. Decided from the station's
// events alone (run start, step start, the outcome of a lost link, the run's
// end reason), so the rule is tested without a window.

#include <cstdint>
#include <string>

#include "runner/step_end.h"

namespace kv {

enum class RunStateKind {
  Idle,
  Running,
  Stopped,   // Stop: the load was turned off
  Finished,  // the list ran to its end
  LinkLostLoadOff,
  LinkLostLoadMayBeOn,
};

class RunState {
 public:
  /// The station's runningChanged(true).
  void RunStarted();
  /// stepStarted: step `step` of `steps` runs `function`.
  void StepStarted(int step, int steps, std::string function);
  /// linkLossHandled: whether the load was reached again and turned off.
  void LinkLossHandled(bool loadTurnedOff);
  /// runEnded, with Summary().End()->reason.
  void RunEnded(RunEndReason reason);
  /// A result row with a verdict: the run's verdict is FAIL once any step
  /// failed, PASS when every verdict passed, none without verdicts.
  void VerdictSeen(bool pass);

  RunStateKind Kind() const { return kind_; }
  /// "Running (step 2 of 5, Discharge)", "Link lost (load may be on)".
  std::string Text() const;
  /// Background as 0xRRGGBB; the text on it is white except on Idle.
  std::uint32_t Colour() const;
  /// For the status line once the run has ended: what became of the load.
  std::string EndMessage() const;

 private:
  RunStateKind kind_ = RunStateKind::Idle;
  int step_ = 0;
  int steps_ = 0;
  std::string function_;
  bool loadTurnedOffAfterLoss_ = false;
  int passes_ = 0;
  int fails_ = 0;
};

}  // namespace kv
