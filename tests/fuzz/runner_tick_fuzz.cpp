// The runner fed arbitrary replies: a short step list built from the input
// runs on the fake clock against a load that answers from the input. Whatever
// the load says, the run ends or goes on in bounded ticks and its rows are
// numbered from 1 without gaps, and a run that ended left the load off.

#include <array>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/instrument_link.h"
#include "results/result_log.h"
#include "runner/run_control.h"
#include "runner/runner_state.h"
#include "runner/runner_tick.h"
#include "steps/step_columns.h"
#include "steps/step_function.h"
#include "steps/step_grid.h"
#include "support/fake_clock.h"

namespace kv::fuzz {
namespace {

// Cell texts that matter to the runner; raw bytes from the input cover the rest.
constexpr std::array<std::string_view, 16> kCellTexts = {
    "",  "0",    "1",     "2",      "3",   "-1",    "0.5",   "10",
    "4", "1000", "32767", "-32768", "1E5", "1,2,3", "0.5,1", "abc",
};

// A load that answers every query with the next text of the input, and lets
// the clock run on while it answers.
struct FuzzedLoad : InstrumentLink {
  FuzzedLoad(FuzzedDataProvider& input, test::FakeClock& fakeClock, std::int16_t connectMode)
      : in(input), clock(fakeClock), mode(connectMode) {}

  void OpenInstrument(std::int16_t openMode) override { mode = openMode; }
  void CloseInstrument() override {}
  void WriteInstrument(std::string_view command) override {
    lastLine = command;
    if (mode == kModeLan && command.find('?') != std::string_view::npos) {
      recvBuf = Next();
    }
  }
  std::string ReadInstrument() override { return mode == kModeLan ? recvBuf : Next(); }
  std::int16_t ConnectMode() const override { return mode; }
  std::string WaitRecvBuf(int timeoutMs) override {
    clock.AdvanceMs(in.ConsumeIntegralInRange<std::int64_t>(0, timeoutMs));
    return recvBuf;
  }
  void ClearRecvBuf() override { recvBuf.clear(); }

  std::string Next() {
    if (in.remaining_bytes() == 0) {
      return std::string(kErrRec);
    }
    clock.AdvanceMs(in.ConsumeIntegralInRange<std::int64_t>(0, 1100));
    return in.ConsumeRandomLengthString(40);
  }

  FuzzedDataProvider& in;
  test::FakeClock& clock;
  std::int16_t mode;
  std::string recvBuf;
  std::string lastLine;
};

std::string CellText(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? std::string(in.PickValueInArray(kCellTexts))
                          : in.ConsumeRandomLengthString(8);
}

}  // namespace

void FuzzOne(FuzzedDataProvider& in) {
  std::vector<TestStep> steps(in.ConsumeIntegralInRange<std::size_t>(1, 6));
  for (std::size_t i = 0; i < steps.size(); ++i) {
    steps[i][kColStepNo] = std::to_string(i + 1);
    steps[i][kColFunction] = in.ConsumeIntegralInRange(0, 9) == 0
                                 ? in.ConsumeRandomLengthString(12)
                                 : std::string(in.PickValueInArray(kStepFunctionNames));
    // The stops decide how a step ends: always give them a text.
    for (const int col : {kColVStop, kColTStop, kColAhStop}) {
      steps[i][col] = CellText(in);
    }
    const int filled = in.ConsumeIntegralInRange(0, 6);
    for (int k = 0; k < filled; ++k) {
      steps[i][in.ConsumeIntegralInRange<int>(kColMode, kColTotalStep)] = CellText(in);
    }
  }
  StepGrid grid;
  grid.AssignSteps(steps);
  const std::string model = in.ConsumeBool() ? "KVLOAD-SIM 100G" : in.ConsumeRandomLengthString(16);
  const std::int16_t mode = in.ConsumeBool() ? kModeLan : kModeSerial;

  test::FakeClock clock(in.ConsumeIntegralInRange(0, 86399));
  FuzzedLoad load(in, clock, mode);
  ResultLog log;
  RunnerState state;
  RunnerContext ctx{grid, load, log, clock, [&model] { return model; }, nullptr};
  RunCommand(state, log);
  // Past the end of the input every reply is "ErrRec": a step with no stop
  // that holds would run for ever, so the ticks are bounded here.
  for (int tick = 0; tick < 200; ++tick) {
    const TickOutcome out = RunnerTick(state, ctx);
    if (!out.reenableTimer) {
      break;
    }
    Require(out.intervalMs >= 0 && out.intervalMs <= 1000, "tick interval in range");
    clock.AdvanceMs(out.intervalMs);
  }
  Require(state.running || load.lastLine == "LOAD OFF",
          "the last line of a finished run turns the load off");
  for (std::size_t r = 0; r < log.RowCount(); ++r) {
    Require(log.Cell(r, 0) == std::to_string(r + 1), "rows numbered without gaps");
  }
}

}  // namespace kv::fuzz
