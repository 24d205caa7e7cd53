#pragma once
// Time as the runner and the in-process simulated load see it. The station
// uses the system clock; tests drive a fake one so that a ten-hour list runs
// in milliseconds.

#include <cstdint>

namespace kv {

struct LocalDateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  /// Local time minus UTC, so that a stamp names one instant in any zone.
  int utcOffsetMinutes = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  /// Seconds since local midnight, with sub-second resolution.
  virtual double SecondsSinceMidnight() const = 0;
  virtual LocalDateTime Now() const = 0;
  /// Monotonic milliseconds; 64-bit so it never wraps.
  virtual std::int64_t TickMs() const = 0;
};

}  // namespace kv
