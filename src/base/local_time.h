#pragma once
// The local calendar time of an instant, which POSIX (localtime_r) and
// Windows (localtime_s) ask for in different ways.

#include <ctime>

namespace kv {

struct LocalTime {
  std::tm tm{};
  /// Local time minus UTC at that instant, daylight saving included.
  long utcOffsetSeconds = 0;
};

LocalTime LocalTimeOf(std::time_t instant);

}  // namespace kv
