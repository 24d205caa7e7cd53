#pragma once
// A bench for runner scenarios: a step list, the scripted load, a fake clock
// and a host that runs ticks the way the station's timer would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
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

using Lines = std::vector<std::string>;
using Cells = std::vector<std::pair<int, std::string>>;

struct Step {
  std::string function;
  Cells cells = {};
};

/// Each query with the replies it gets in order (the last one repeats).
using Script = std::vector<std::pair<std::string, Lines>>;

struct Event {
  std::string kind;  // "start", "row", "message", "notice", "finished", "lost"
  std::string text;
  int a = 0;
  int b = 0;
  bool operator==(const Event&) const = default;
};

class RecordingObserver : public RunnerObserver {
 public:
  void OnStepStarted(int row, int previousRow) override { Add({"start", "", row, previousRow}); }
  void OnRowAdded(std::size_t index) override { Add({"row", "", static_cast<int>(index), 0}); }
  void OnMessage(std::string_view text) override { Add({"message", std::string(text)}); }
  void OnNotice(std::string_view text) override { Add({"notice", std::string(text)}); }
  void OnRunFinished(int lastRow) override { Add({"finished", "", lastRow, 0}); }
  void OnMeasurementsLost() override { Add({"lost", ""}); }

  Lines Texts(const std::string& kind) const {
    Lines out;
    for (const auto& e : events) {
      if (e.kind == kind) {
        out.push_back(e.text);
      }
    }
    return out;
  }
  std::vector<Event> events;
  /// Runs inside the runner's call, as a host's handler would.
  std::function<void(const Event&)> onEvent;

 private:
  void Add(const Event& e) {
    events.push_back(e);
    if (onEvent) {
      onEvent(e);
    }
  }
};

/// `Link` is the scripted load or a test's variant of it.
template <typename Link>
class RunnerBenchOn {
 public:
  explicit RunnerBenchOn(std::int16_t mode = kModeSerial) : link(mode, &clock) {}

  /// The step rows, and replies to MEAS:VC? ("12,1" unless scripted) and the rest.
  void Load(const std::vector<Step>& steps, const Script& replies = {}) {
    std::vector<TestStep> rows;
    for (const Step& s : steps) {
      TestStep& row = rows.emplace_back();
      row[kColStepNo] = std::to_string(rows.size());
      row[kColFunction] = s.function;
      for (const auto& [col, text] : s.cells) {
        row[col] = text;
      }
    }
    grid.AssignSteps(rows);
    link.Reply("MEAS:VC?", "12,1");
    for (const auto& [query, answers] : replies) {
      link.ReplySequence(query, answers);
    }
  }

  void Run() {
    const RunRequest r = RunCommand(state, ctx);
    EXPECT_TRUE(r.enableRunner && r.enableIdentification);
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

  void Ticks(int n) {
    for (int i = 0; i < n; ++i) {
      Tick();
    }
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
  Lines TakeLines() {
    Lines lines = link.Lines();
    link.ClearSent();
    return lines;
  }

  Lines Row(std::size_t i) const {
    const ResultRow r = log.Row(i);
    return {r.begin(), r.end()};
  }
  std::string Cell(std::size_t row, int col) const { return std::string(log.Cell(row, col)); }
  /// One cell of every result row.
  Lines Column(int col) const {
    Lines out;
    for (std::size_t i = 0; i < log.RowCount(); ++i) {
      out.push_back(Cell(i, col));
    }
    return out;
  }

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
};

using RunnerBench = RunnerBenchOn<ScriptedInstrument>;

inline std::string Golden(const std::string& name) {
  std::ifstream in(KV_TEST_DATA_DIR "/runner/" + name, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace kv::test
