// The host's floor for a tick's precision: nothing but the kernel's own
// absolute sleep (clock_nanosleep on CLOCK_MONOTONIC, TIMER_ABSTIME), one wake
// a second, no link, no event loop. Run beside the station, it tells a late
// wake-up of the machine from one of the program.
//
//   sleep_loop --first T [--seconds N] [--name PREFIX]
//
// T is the first deadline in seconds of CLOCK_MONOTONIC (as Python's
// time.monotonic() gives it); the wakes follow one second apart. Prints
// PREFIX_tick_p99_ms and PREFIX_drift_ms_per_min as "figure<TAB>name<TAB>value"
// lines, measured as station_timing measures the station: each period's
// distance from 1000 ms.
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tick_periods.h"

namespace {

constexpr std::int64_t kNsPerS = 1'000'000'000;

std::int64_t NowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * kNsPerS + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
  double first = -1;
  int seconds = 60;
  std::string name = "sleep";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--first") == 0) {
      first = std::strtod(argv[i + 1], nullptr);
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::max(3, std::atoi(argv[i + 1]));
    } else if (std::strcmp(argv[i], "--name") == 0) {
      name = argv[i + 1];
    }
  }
  if (first < 0) {
    std::fputs("usage: sleep_loop --first T [--seconds N] [--name PREFIX]\n", stderr);
    return 2;
  }
  auto deadline = static_cast<std::int64_t>(std::llround(first * 1e9));
  while (deadline < NowNs()) {
    deadline += kNsPerS;
  }
  std::vector<std::int64_t> wakes;
  for (int i = 0; i < seconds; ++i, deadline += kNsPerS) {
    const timespec at{static_cast<time_t>(deadline / kNsPerS),
                      static_cast<long>(deadline % kNsPerS)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    wakes.push_back(NowNs());
  }
  const kv_bench::TickPeriods t = kv_bench::ReadTickPeriods(wakes);
  const double p99 = kv_bench::Percentile(t.errorsMs, 99);
  std::fprintf(stderr, "sleep loop: %zu wakes, period error median %.2f ms, p99 %.2f ms\n",
               wakes.size(), kv_bench::Percentile(t.errorsMs, 50), p99);
  kv_bench::PrintLatePeriods("sleep loop ", t);
  std::printf("figure\t%s_tick_p99_ms\t%.4f\n", name.c_str(), p99);
  std::printf("figure\t%s_drift_ms_per_min\t%.4f\n", name.c_str(), t.DriftPerMinute());
  return 0;
}
