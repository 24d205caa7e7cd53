// A week-long run on the fake clock: a FOR/LOOP list over the LAN path with
// seeded random replies, some of them no measurement at all. What must hold
// after 604,800 ticks: the runner's own memory does not grow with the run,
// the rows are numbered without a gap, and every Ah/Wh cell equals a sum kept
// here in whole units of 1e-8 (no floating point on this side).

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "runner_harness.h"

namespace kv::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define KV_SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_SOAK_SANITIZED 1
#endif
#endif
#if defined(KV_SOAK_SANITIZED)
constexpr std::int64_t kTicks = 86'400;  // a day: the sanitizer build is ~10x slower
#else
constexpr std::int64_t kTicks = 7 * 86'400;
#endif
constexpr int kPassTicks = 1800;  // Normal 1200 s + Rest 600 s

// One reply of the load: volts with two decimals, amperes with four, kept as
// integers so the expected sums need no rounding of doubles.
struct Reply {
  std::string text;
  bool measured = false;
  std::int64_t ahUnits = 0;  // increment in 1e-8 Ah
  std::int64_t whUnits = 0;  // increment in 1e-8 Wh
};

// (n / d) rounded to the nearest integer; callers make sure it is no tie.
std::int64_t RoundedQuotient(std::int64_t n, std::int64_t d) {
  return (2 * n + d) / (2 * d);
}

class RandomLoad {
 public:
  Reply Next() {
    const int kind = pick_(rng_);
    if (kind == 0) {
      return {"", false};  // the wait ran out
    }
    if (kind == 1) {
      return {"ErrRec", false};
    }
    if (kind == 2) {
      return {"12.50", false};  // one field is no measurement
    }
    for (;;) {
      const std::int64_t centivolts = volts_(rng_);
      const std::int64_t tenthMilliamps = amps_(rng_);
      // Ah step: I / 3600 on the 1e-8 grid = I[1e-4 A] * 25 / 9 (never a tie).
      // Wh step: V * I / 3600 = P[1e-6 W] / 36; a tie would leave the
      // direction to the double's last bit, so such replies are not sent.
      const std::int64_t microwatts = centivolts * tenthMilliamps;
      if (microwatts % 36 == 18) {
        continue;
      }
      const std::string frac = std::to_string(10000 + tenthMilliamps % 10000).substr(1);
      const std::string text = std::to_string(centivolts / 100) + "." +
                               std::to_string(100 + centivolts % 100).substr(1) + "," +
                               std::to_string(tenthMilliamps / 10000) + "." + frac;
      return {text, true, RoundedQuotient(tenthMilliamps * 25, 9), RoundedQuotient(microwatts, 36)};
    }
  }

 private:
  std::mt19937_64 rng_{20261206};
  std::uniform_int_distribution<int> pick_{0, 199};  // 3 in 200 are no measurement
  std::uniform_int_distribution<std::int64_t> volts_{1000, 1300};
  std::uniform_int_distribution<std::int64_t> amps_{0, 50000};
};

/// The cell a sum of `units` x 1e-8 must show. A drifting sum rounds back to
/// the same units but not to the same text (1.79999999999986 for 1.8), so the
/// text is compared wherever the plain decimal form applies.
bool CellShows(std::string_view cell, std::int64_t units) {
  if (units != 0 && units < 10'000) {
    // The exponent form of magnitudes below 1e-4.
    return std::llround(std::strtod(std::string(cell).c_str(), nullptr) * 1e8) == units;
  }
  std::string text = std::to_string(units / 100'000'000);
  std::string decimals = std::to_string(100'000'000 + units % 100'000'000).substr(1);
  while (!decimals.empty() && decimals.back() == '0') {
    decimals.pop_back();
  }
  if (!decimals.empty()) {
    text += "." + decimals;
  }
  return cell == text;
}

/// What the runner keeps besides the result rows; it must not grow with the run.
std::size_t StateBytes(const RunnerState& s) {
  std::size_t bytes = sizeof s + s.params.mode.capacity() + s.params.sinkValue.capacity();
  for (const auto& reply : s.lanReplies) {
    bytes += sizeof reply + reply.capacity();
  }
  if (s.openStep) {
    bytes += s.openStep->functionName.capacity();
  }
  return bytes;
}

// Checks each row as it is added against the sums kept from the replies.
class SoakObserver : public RunnerObserver {
 public:
  explicit SoakObserver(const ResultLog& log) : log_(log) {}

  void OnStepStarted(int, int) override { ah_ = wh_ = 0; }
  void Measured(const Reply& r) {
    ah_ += r.ahUnits;
    wh_ += r.whUnits;
  }
  void OnRowAdded(std::size_t index) override {
    ++rows;
    if (index + 1 != rows || log_.Cell(index, kResNo) != std::to_string(rows)) {
      ++numberingFaults;
    }
    if ((!CellShows(log_.Cell(index, kResAh), ah_) || !CellShows(log_.Cell(index, kResWh), wh_)) &&
        sumFaults++ == 0) {
      firstSumFault = rows;
    }
  }

  std::size_t rows = 0;
  int numberingFaults = 0;
  int sumFaults = 0;
  std::size_t firstSumFault = 0;

 private:
  const ResultLog& log_;
  std::int64_t ah_ = 0;
  std::int64_t wh_ = 0;
};

TEST(RunnerSoak, AWeekOfTicksKeepsMemoryFlatAndSumsExact) {
  RunnerBench b(kModeLan);
  const int passes = static_cast<int>((kTicks + kPassTicks - 1) / kPassTicks);
  b.Load({{"FOR", {{kColTimes, std::to_string(passes)}}},
          {"Normal", {{kColMode, "CC"}, {kColSinkValue, "2.5"}, {kColTStop, "1200"}}},
          {"Rest", {{kColTStop, "600"}}},
          {"LOOP"}});

  SoakObserver observer(b.log);
  b.ctx.observer = &observer;
  RandomLoad load;
  b.link.OnWrite([&](std::string_view line) {
    if (line == "MEAS:VC?") {
      const Reply r = load.Next();
      b.link.RecvBuf() = r.text;
      if (r.measured) {
        observer.Measured(r);
      }
    }
  });

  b.Run();
  std::int64_t ticks = 0;
  std::size_t stateAfterFirstDay = 0;
  std::size_t bytesPerRowAfterFirstDay = 0;
  while (b.timerOn) {
    b.Tick();
    if (++ticks == 86'400) {
      stateAfterFirstDay = StateBytes(b.state);
      bytesPerRowAfterFirstDay = b.log.MemoryBytes() / b.log.RowCount();
    }
    if (ticks % 10'000 == 0) {
      b.link.ClearSent();  // the test's own record, not the runner's
    }
  }

  EXPECT_GE(ticks, kTicks);
  EXPECT_EQ(observer.rows, b.log.RowCount());
  EXPECT_EQ(observer.numberingFaults, 0);
  EXPECT_EQ(observer.sumFaults, 0) << "first at row " << observer.firstSumFault;
  EXPECT_EQ(b.state.lanReplies.size(), kMaxLanReplies);
  // Equal or smaller: string capacities may differ by a few bytes.
  EXPECT_LE(StateBytes(b.state), stateAfterFirstDay + 64);
  // The log grows by its rows only: the same cost per row as after a day.
  EXPECT_LE(b.log.MemoryBytes() / b.log.RowCount(), bytesPerRowAfterFirstDay * 11 / 10);
}

}  // namespace
}  // namespace kv::test
