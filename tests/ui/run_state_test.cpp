// The state indicator's words and the end message, from the station's events.
#include "ui/run_state.h"

#include <gmock/gmock.h>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace kv {
namespace {

using Event = std::function<void(RunState&)>;

const Event kStart = [](RunState& s) { s.RunStarted(); };
const Event kStep2 = [](RunState& s) { s.StepStarted(2, 5, "Discharge"); };
const Event kReachedAndOff = [](RunState& s) { s.LinkLossHandled(true); };
const Event kNotReached = [](RunState& s) { s.LinkLossHandled(false); };
Event End(RunEndReason reason) {
  return [reason](RunState& s) { s.RunEnded(reason); };
}

TEST(RunStateTest, SaysWhatTheRunDoesAndWhetherTheLoadIsOff) {
  struct Case {
    std::vector<Event> events;
    const char* text;
    const char* endMessage;
  };
  const Case cases[] = {
      {{}, "Idle", ""},
      {{kStart}, "Running", ""},
      {{kStart, kStep2}, "Running (step 2 of 5, Discharge)", ""},
      {{kStart, kStep2, End(RunEndReason::Completed)}, "Finished", "Test Finished"},
      {{kStart, kStep2, End(RunEndReason::Stopped)},
       "Stopped (load off)",
       "Stopped: the load was turned off"},
      // A lost link leaves the load on unless the station said it reached it.
      {{kStart, End(RunEndReason::LinkLost)},
       "Link lost (load may be on)",
       "Link lost: the load could not be reached; it may still be on"},
      {{kStart, kNotReached, End(RunEndReason::LinkLost)}, "Link lost (load may be on)", nullptr},
      {{kStart, kReachedAndOff, End(RunEndReason::LinkLost)},
       "Link lost (load off)",
       "Link lost: the load was reached again and turned off"},
      // What the last run heard counts for that run only.
      {{kStart, kReachedAndOff, End(RunEndReason::LinkLost), kStart, End(RunEndReason::LinkLost)},
       "Link lost (load may be on)",
       nullptr},
      {{kStart, End(RunEndReason::Stopped), kStart, kStep2},
       "Running (step 2 of 5, Discharge)",
       ""},
  };
  std::set<RunStateKind> kinds;
  std::set<std::uint32_t> colours;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RunState state;
    for (const Event& e : c.events) {
      e(state);
    }
    EXPECT_EQ(state.Text(), c.text);
    kinds.insert(state.Kind());
    colours.insert(state.Colour());
    if (c.endMessage != nullptr) {
      EXPECT_EQ(state.EndMessage(), c.endMessage);
    }
  }
  // Each state has a colour of its own, to tell them apart from afar.
  EXPECT_EQ(colours.size(), kinds.size());
}

}  // namespace
}  // namespace kv
