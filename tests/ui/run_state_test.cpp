// The state indicator's words and the end message, from the station's events.
#include "ui/run_state.h"

#include <gmock/gmock.h>

#include <initializer_list>
#include <set>
#include <string_view>
#include <utility>

namespace kv {
namespace {

// One letter an event: s run started, 2 step 2 of 5 (Discharge), o / n a lost
// load was / was not turned off, C S L the run ended completed, stopped, link
// lost, P F a verdict row PASS, FAIL.
RunState Replay(std::string_view events) {
  RunState state;
  for (const char e : events) {
    if (e == 's') {
      state.RunStarted();
    } else if (e == '2') {
      state.StepStarted(2, 5, "Discharge");
    } else if (e == 'o' || e == 'n') {
      state.LinkLossHandled(e == 'o');
    } else if (e == 'P' || e == 'F') {
      state.VerdictSeen(e == 'P');
    } else {
      state.RunEnded(e == 'C' ? RunEndReason::Completed
                              : (e == 'S' ? RunEndReason::Stopped : RunEndReason::LinkLost));
    }
  }
  return state;
}

TEST(RunStateTest, SaysWhatTheRunDoesAndWhetherTheLoadIsOff) {
  std::set<RunStateKind> kinds;
  std::set<std::uint32_t> colours;
  for (const auto& [events, text] : std::initializer_list<std::pair<const char*, const char*>>{
           {"", "Idle"},
           {"s", "Running"},
           {"s2", "Running (step 2 of 5, Discharge)"},
           {"s2C", "Finished"},
           {"s2S", "Stopped (load off)"},
           // A lost link leaves the load on unless the station said it reached it.
           {"sL", "Link lost (load may be on)"},
           {"snL", "Link lost (load may be on)"},
           {"soL", "Link lost (load off)"},
           {"soLsL", "Link lost (load may be on)"},  // that run's report only
           {"sSs2", "Running (step 2 of 5, Discharge)"},
           // A Stop over a lost link ends the run before the load is reached again.
           {"s2Lo", "Link lost (load off)"},
           {"s2PPC", "Finished, PASS"},
           {"s2PF2", "Running (step 2 of 5, Discharge), FAIL so far"},
           {"s2PFPS", "Stopped (load off), FAIL"},
           {"s2FCs", "Running"},
       }) {
    SCOPED_TRACE(events);
    const RunState state = Replay(events);
    EXPECT_EQ(state.Text(), text);
    kinds.insert(state.Kind());
    colours.insert(state.Colour());
  }
  // Each state has a colour of its own, to tell them apart from afar.
  EXPECT_EQ(colours.size(), kinds.size());
}

}  // namespace
}  // namespace kv
