#pragma once
// Which pass of its FOR block a step belongs to, followed from the order in
// which the runner starts steps: a FOR opens pass 1, a step started at or
// above the one before it is the next pass, and the step after the block's
// last LOOP is outside any block again (pass 1). Blocks do not nest.

#include <optional>

#include "steps/step_function.h"

namespace kv {

class LoopPass {
 public:
  void Reset() { *this = LoopPass(); }

  void OnStepStarted(int row, std::optional<StepFunction> function) {
    if (function == StepFunction::For) {
      pass_ = 1;
      inBlock_ = true;
    } else if (inBlock_ && row <= lastRow_) {
      ++pass_;
    } else if (lastFunction_ == StepFunction::Loop && row > lastRow_) {
      pass_ = 1;
      inBlock_ = false;
    }
    lastRow_ = row;
    lastFunction_ = function;
  }

  /// 1 outside any block.
  int Pass() const { return pass_; }

 private:
  int pass_ = 1;
  bool inBlock_ = false;
  int lastRow_ = 0;
  std::optional<StepFunction> lastFunction_;
};

}  // namespace kv
