#pragma once
// Data the benchmarks share: result rows as a long discharge writes them and a
// step list of the largest size a file may hold.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "results/result_log.h"
#include "steps/step_columns.h"
#include "steps/step_grid.h"

namespace kv::bench {

inline constexpr std::size_t kMillion = 1000000;
inline constexpr int kMaxSteps = 32767;

inline std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

inline double Round8(double v) {
  return std::nearbyint(v * 1e8) / 1e8;
}

inline std::string TwoDigits(std::size_t v) {
  return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

// Rows as a long discharge writes them, one at a time: load replies with four
// decimals, power and Ah/Wh sums of 8-decimal increments in the 15-digit
// general form, a stamp, the function name. `count` sets the voltage slope.
class TypicalRowMaker {
 public:
  explicit TypicalRowMaker(std::size_t count) : count_(count) {}

  kv::ResultRow Next() {
    const std::size_t n = ++made_;
    const double volts = 12.6 - 2.0 * static_cast<double>(n) / static_cast<double>(count_);
    const double amps = 1.234 + jitter_(rng_);
    char v[16];
    char i[16];
    std::snprintf(v, sizeof v, "%.4f", volts);
    std::snprintf(i, sizeof i, "%.4f", amps);
    const double power = std::atof(v) * std::atof(i);
    ah_ += Round8(std::atof(i) / 3600.0);
    wh_ += Round8(power / 3600.0);
    const std::size_t s = n % 86400;
    const std::string clock =
        TwoDigits(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
    return {
        std::to_string(n),      clock, v, i, Num(power), Num(ah_), Num(wh_), "2026/12/06 " + clock,
        "Battery Discharge CC", ""};
  }

 private:
  std::size_t count_;
  std::size_t made_ = 0;
  std::mt19937 rng_{7};
  std::uniform_real_distribution<double> jitter_{-0.002, 0.002};
  double ah_ = 0;
  double wh_ = 0;
};

inline std::vector<kv::ResultRow> TypicalRows(std::size_t count) {
  std::vector<kv::ResultRow> rows;
  rows.reserve(count);
  TypicalRowMaker maker(count);
  for (std::size_t n = 0; n < count; ++n) {
    rows.push_back(maker.Next());
  }
  return rows;
}

// A realistic mix: short numeric cells and a few sub-step lists.
inline kv::StepGrid LongGrid() {
  std::vector<kv::TestStep> steps(kMaxSteps);
  for (int i = 0; i < kMaxSteps; ++i) {
    kv::TestStep& s = steps[static_cast<std::size_t>(i)];
    s[kv::kColStepNo] = std::to_string(i + 1);
    if (i % 3 == 0) {
      s[kv::kColFunction] = "Battery RAMP";
      s[kv::kColSinkValue] = "0.5";
      s[kv::kColTimes] = "2";
      s[kv::kColLoadOffV] = "2.8";
      s[kv::kColRampCc] = ";1;2;3;4;5;6;7;8;9";
      s[kv::kColRampTime] = ";10;10;20;20;30;30;40;40;50";
      s[kv::kColTotalStep] = "9";
    } else {
      s[kv::kColFunction] = "Discharge";
      s[kv::kColMode] = "CC";
      s[kv::kColSinkValue] = "1.25";
      s[kv::kColVStop] = "2.75";
      s[kv::kColTStop] = "3600";
      s[kv::kColAhStop] = "0";
    }
  }
  kv::StepGrid grid;
  grid.AssignSteps(std::move(steps));
  return grid;
}

}  // namespace kv::bench
