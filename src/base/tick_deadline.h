#pragma once
// Deadlines of the runner's timer, in nanoseconds on a monotonic clock. The
// wall clock takes no part: setting the system time moves no deadline.

#include <cstdint>

namespace kv {

/// A tick requested within this distance of one second after the previous
/// tick's aim is taken to mean that second. A tick held back longer by a
/// waiting query, or a special interval of the runner, is taken as it stands.
inline constexpr std::int64_t kSecondSnapNs = 50'000'000;

/// Where the tick after one aimed at `aimedNs` aims, when that tick ended at
/// `nowNs` asking for the next in `intervalMs`: exactly one second after its
/// aim while the ticks keep their rhythm, so that lateness never adds up.
std::int64_t NextTickDeadline(std::int64_t aimedNs, std::int64_t nowNs, int intervalMs);

/// An absolute deadline for a kernel timer.
struct DeadlineSpec {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
};

/// `deadlineNs` split for a kernel timer; never all zero (that would disarm
/// the timer instead of firing it at once), so a deadline already past fires.
DeadlineSpec AbsoluteDeadline(std::int64_t deadlineNs);

/// Whole milliseconds from `nowNs` to `deadlineNs` for a millisecond timer,
/// rounded down because the timer adds its own lateness; 0 once it is past.
int MillisecondsUntil(std::int64_t deadlineNs, std::int64_t nowNs);

}  // namespace kv
