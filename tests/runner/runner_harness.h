#pragma once
// A bench for runner scenarios: a step list, the scripted load, a fake clock
// and a host that runs ticks the way the station's timer would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "results/result_log.h"
#include "runner/run_control.h"
#include "runner/runner_tick.h"
#include "steps/step_columns.h"
#include "steps/step_grid.h"
#include "support/fake_clock.h"
#include "support/scripted_instrument.h"

namespace kv::test {

struct Event {
  std::string kind;  // "start", "row", "message", "notice", "finished", "lost"
  std::string text;
  int a = 0;
  int b = 0;
  bool operator==(const Event&) const = default;
};

class RecordingObserver : public RunnerObserver {
 public:
  void OnStepStarted(int row, int previousRow) override {
    events.push_back({"start", "", row, previousRow});
  }
  void OnRowAdded(std::size_t index) override {
    events.push_back({"row", "", static_cast<int>(index), 0});
  }
  void OnMessage(std::string_view text) override {
    events.push_back({"message", std::string(text)});
  }
  void OnNotice(std::string_view text) override { events.push_back({"notice", std::string(text)}); }
  void OnRunFinished(int lastRow) override { events.push_back({"finished", "", lastRow, 0}); }
  void OnMeasurementsLost() override { events.push_back({"lost", ""}); }

  std::vector<std::string> Texts(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.kind == kind) {
        out.push_back(e.text);
      }
    }
    return out;
  }
  std::vector<Event> events;
};

using Cells = std::vector<std::pair<int, std::string>>;

/// `Link` is the scripted load or a test's variant of it.
template <typename Link>
class RunnerBenchOn {
 public:
  explicit RunnerBenchOn(std::int16_t mode = kModeSerial) : link(mode, &clock) {}

  /// Appends a step row with the given function and cells.
  void AddStep(const std::string& function, const Cells& cells = {}) {
    TestStep step;
    step[kColStepNo] = std::to_string(steps_.size() + 1);
    step[kColFunction] = function;
    for (const auto& [col, text] : cells) {
      step[col] = text;
    }
    steps_.push_back(step);
    grid.AssignSteps(steps_);
  }

  void Run() {
    const RunRequest r = RunCommand(state, ctx);
    EXPECT_TRUE(r.enableRunner);
    EXPECT_TRUE(r.enableIdentification);
    timerOn = true;
  }

  /// One timer event: the host stops the timer, ticks, and starts it again
  /// when asked; the clock then moves on by the interval.
  TickOutcome Tick() {
    timerOn = false;
    const TickOutcome out = RunnerTick(state, ctx);
    intervals.push_back(out.reenableTimer ? out.intervalMs : -1);
    if (out.reenableTimer) {
      timerOn = true;
      clock.AdvanceMs(out.intervalMs);
    }
    return out;
  }

  /// Ticks while the timer stays on; returns the number of ticks.
  int RunToEnd(int maxTicks = 100000) {
    int n = 0;
    while (timerOn && n < maxTicks) {
      Tick();
      ++n;
    }
    return n;
  }

  /// Lines sent since the last call.
  std::vector<std::string> TakeLines() {
    std::vector<std::string> lines = link.Lines();
    link.ClearSent();
    return lines;
  }

  std::vector<std::string> Row(std::size_t i) const {
    const ResultRow r = log.Row(i);
    return {r.begin(), r.end()};
  }
  std::string Cell(std::size_t row, int col) const { return std::string(log.Cell(row, col)); }

  FakeClock clock;
  Link link;
  StepGrid grid;
  ResultLog log;
  RunnerState state;
  RecordingObserver observer;
  std::string model = "KV8G-100";
  RunnerContext ctx{grid, link, log, clock, [this] { return model; }, &observer};
  std::vector<int> intervals;
  bool timerOn = false;

 private:
  std::vector<TestStep> steps_;
};

using RunnerBench = RunnerBenchOn<ScriptedInstrument>;

using Lines = std::vector<std::string>;

/// n copies of `line`.
inline Lines Repeat(const std::string& line, int n) {
  return Lines(static_cast<std::size_t>(n), line);
}

inline Lines Concat(std::initializer_list<Lines> parts) {
  Lines out;
  for (const auto& p : parts) {
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

}  // namespace kv::test
