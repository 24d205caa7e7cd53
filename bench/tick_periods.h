#pragma once
// How the bench reads a run of once-a-second wake-ups, the station's and the
// kernel's bare sleep's alike, so that the two are measured the same way:
// each period's distance from 1000 ms, its percentiles, and the drift.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace kv_bench {

inline double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size())));
  return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

struct TickPeriods {
  std::vector<double> errorsMs;  // each period's distance from 1000 ms
  double spanMs = 0;             // first wake to last
  double driftMs = 0;            // the span against whole seconds
  double DriftPerMinute() const { return std::abs(driftMs) / (spanMs / 60000.0); }
};

/// `wakesNs`: at least two wake-ups, in order, on one clock.
inline TickPeriods ReadTickPeriods(const std::vector<std::int64_t>& wakesNs) {
  TickPeriods t;
  for (std::size_t i = 1; i < wakesNs.size(); ++i) {
    t.errorsMs.push_back(std::abs(static_cast<double>(wakesNs[i] - wakesNs[i - 1]) / 1e6 - 1000.0));
  }
  t.spanMs = static_cast<double>(wakesNs.back() - wakesNs.front()) / 1e6;
  t.driftMs = t.spanMs - 1000.0 * static_cast<double>(t.errorsMs.size());
  return t;
}

/// To standard error, each period more than 0.25 ms off, numbered from 1.
inline void PrintLatePeriods(const char* who, const TickPeriods& t) {
  for (std::size_t i = 0; i < t.errorsMs.size(); ++i) {
    if (t.errorsMs[i] > 0.25) {
      std::fprintf(stderr, "  %speriod %zu off by %.2f ms\n", who, i + 1, t.errorsMs[i]);
    }
  }
}

}  // namespace kv_bench
