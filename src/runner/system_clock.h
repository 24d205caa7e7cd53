#pragma once
// The real clock: local time of day and a monotonic millisecond count.

#include "base/clock.h"

namespace kv {

class SystemClock : public Clock {
 public:
  double SecondsSinceMidnight() const override;
  LocalDateTime Now() const override;
  std::int64_t TickMs() const override;
};

}  // namespace kv
