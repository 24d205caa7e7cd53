// The runner timer's deadlines: the one-second rhythm, and what a kernel
// timer and a millisecond timer are armed with.

#include "base/tick_deadline.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kAim = 7'000 * kMs;

TEST(TickDeadline, AimsAtTheNextSecondAndArmsTimersForIt) {
  struct Case {
    const char* name;
    std::int64_t aim;  // the previous tick's
    std::int64_t now;  // when the tick ended, monotonic
    int intervalMs;    // what the runner asked for
    std::int64_t deadline;
    DeadlineSpec due;
    int ms;  // from `now`
  };
  const Case cases[] = {
      {"on time", kAim, kAim + 4 * kMs, 996, kAim + 1000 * kMs, {8, 0}, 996},
      {"woke late, the runner took it off",
       kAim,
       kAim + 49 * kMs,
       951,
       kAim + 1000 * kMs,
       {8, 0},
       951},
      // A step of the wall clock during the tick makes the runner ask a full
      // second; the rhythm holds.
      {"wall clock stepped back", kAim, kAim + 5 * kMs, 1000, kAim + 1000 * kMs, {8, 0}, 995},
      {"held back by a query", kAim, kAim + 800 * kMs, 975, kAim + 1775 * kMs, {8, 775 * kMs}, 975},
      {"step ends within the tick", kAim, kAim + 3 * kMs, 50, kAim + 53 * kMs, {7, 53 * kMs}, 50},
      {"already past: at once", kAim, kAim + 1040 * kMs, 0, kAim + 1000 * kMs, {8, 0}, 0},
      {"sub-millisecond rest", kAim, kAim + 999'500'000, 0, kAim + 1000 * kMs, {8, 0}, 0},
      {"zero would disarm", -1000 * kMs, -5, 0, 0, {0, 1}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::int64_t deadline = NextTickDeadline(c.aim, c.now, c.intervalMs);
    EXPECT_EQ(deadline, c.deadline);
    const DeadlineSpec due = AbsoluteDeadline(deadline);
    EXPECT_EQ(due.seconds, c.due.seconds);
    EXPECT_EQ(due.nanoseconds, c.due.nanoseconds);
    EXPECT_EQ(MillisecondsUntil(deadline, c.now), c.ms);
  }
}

}  // namespace
}  // namespace kv
