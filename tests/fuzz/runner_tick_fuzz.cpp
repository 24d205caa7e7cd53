// The runner fed arbitrary replies: a short step list built from the input
// runs on the fake clock against a load that answers from the input. Whatever
// the load says, the run ends or goes on in bounded ticks and its rows are
// numbered from 1 without gaps, and a run that ended left the load off.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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

namespace {

using kv::test::FakeClock;

// Cell texts that matter to the runner; raw bytes from the input cover the rest.
constexpr std::array<std::string_view, 16> kCellTexts = {
    "",  "0",    "1",     "2",      "3",   "-1",    "0.5",   "10",
    "4", "1000", "32767", "-32768", "1E5", "1,2,3", "0.5,1", "abc",
};

// A load that answers every query with the next text of the input, and lets
// the clock run on while it answers.
class FuzzedLoad : public kv::InstrumentLink {
 public:
  FuzzedLoad(FuzzedDataProvider& in, FakeClock& clock, std::int16_t mode)
      : in_(in), clock_(clock), mode_(mode) {}

  void OpenInstrument(std::int16_t mode) override { mode_ = mode; }
  void CloseInstrument() override {}
  void WriteInstrument(std::string_view command) override {
    lastLine_ = command;
    if (mode_ == kv::kModeLan && command.find('?') != std::string_view::npos) {
      recvBuf_ = Next();
    }
  }
  std::string ReadInstrument() override { return mode_ == kv::kModeLan ? recvBuf_ : Next(); }
  std::int16_t ConnectMode() const override { return mode_; }
  std::string WaitRecvBuf(int timeoutMs) override {
    clock_.AdvanceMs(in_.ConsumeIntegralInRange<std::int64_t>(0, timeoutMs));
    return recvBuf_;
  }
  void ClearRecvBuf() override { recvBuf_.clear(); }
  const std::string& LastLine() const { return lastLine_; }

 private:
  std::string Next() {
    if (in_.remaining_bytes() == 0) {
      return std::string(kv::kErrRec);
    }
    clock_.AdvanceMs(in_.ConsumeIntegralInRange<std::int64_t>(0, 1100));
    return in_.ConsumeRandomLengthString(40);
  }

  FuzzedDataProvider& in_;
  FakeClock& clock_;
  std::int16_t mode_;
  std::string recvBuf_;
  std::string lastLine_;
};

std::string CellText(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? std::string(in.PickValueInArray(kCellTexts))
                          : in.ConsumeRandomLengthString(8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  FuzzedDataProvider in(data, size);

  std::vector<TestStep> steps(in.ConsumeIntegralInRange<std::size_t>(1, 6));
  for (std::size_t i = 0; i < steps.size(); ++i) {
    TestStep& step = steps[i];
    step[kColStepNo] = std::to_string(i + 1);
    step[kColFunction] = in.ConsumeIntegralInRange(0, 9) == 0
                             ? in.ConsumeRandomLengthString(12)
                             : std::string(in.PickValueInArray(kStepFunctionNames));
    // The stops decide how a step ends: always give them a text.
    for (const int col : {kColVStop, kColTStop, kColAhStop}) {
      step[col] = CellText(in);
    }
    const int filled = in.ConsumeIntegralInRange(0, 6);
    for (int k = 0; k < filled; ++k) {
      step[in.ConsumeIntegralInRange<int>(kColMode, kColTotalStep)] = CellText(in);
    }
  }
  StepGrid grid;
  grid.AssignSteps(steps);
  const std::string model = in.ConsumeBool() ? "KVLOAD-SIM 100G" : in.ConsumeRandomLengthString(16);
  const std::int16_t mode = in.ConsumeBool() ? kModeLan : kModeSerial;

  FakeClock clock(in.ConsumeIntegralInRange(0, 86399));
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
    fuzz::Require(out.intervalMs >= 0 && out.intervalMs <= 1000, "tick interval in range");
    clock.AdvanceMs(out.intervalMs);
  }
  fuzz::Require(state.running || load.LastLine() == "LOAD OFF",
                "the last line of a finished run turns the load off");
  for (std::size_t r = 0; r < log.RowCount(); ++r) {
    fuzz::Require(log.Cell(r, 0) == std::to_string(r + 1), "rows numbered without gaps");
  }
  return 0;
}
