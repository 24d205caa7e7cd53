#include "base/tick_deadline.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace kv {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

}  // namespace

std::int64_t NextTickDeadline(std::int64_t aimedNs, std::int64_t nowNs, int intervalMs) {
  const std::int64_t requested = nowNs + intervalMs * kNsPerMs;
  const std::int64_t second = aimedNs + kNsPerSecond;
  return std::llabs(requested - second) <= kSecondSnapNs ? second : requested;
}

DeadlineSpec AbsoluteDeadline(std::int64_t deadlineNs) {
  const std::int64_t ns = std::max<std::int64_t>(1, deadlineNs);
  return {ns / kNsPerSecond, ns % kNsPerSecond};
}

int MillisecondsUntil(std::int64_t deadlineNs, std::int64_t nowNs) {
  return static_cast<int>(std::clamp<std::int64_t>((deadlineNs - nowNs) / kNsPerMs, 0, INT_MAX));
}

}  // namespace kv
