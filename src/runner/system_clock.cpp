#include "runner/system_clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "base/local_time.h"

namespace kv {

namespace {

struct LocalNow {
  std::tm tm{};
  double fraction = 0.0;  // seconds past tm's whole second
  long utcOffsetSeconds = 0;
};

LocalNow ReadLocalNow() {
  using std::chrono::system_clock;
  const auto now = system_clock::now();
  const std::time_t whole = system_clock::to_time_t(now);
  LocalNow out;
  const LocalTime local = LocalTimeOf(whole);
  out.tm = local.tm;
  out.utcOffsetSeconds = local.utcOffsetSeconds;
  const auto sub = now - system_clock::from_time_t(whole);
  out.fraction = std::chrono::duration<double>(sub).count();
  if (out.fraction < 0.0 || out.fraction >= 1.0) {
    out.fraction = 0.0;
  }
  return out;
}

}  // namespace

double SystemClock::SecondsSinceMidnight() const {
  const LocalNow n = ReadLocalNow();
  return n.tm.tm_hour * 3600.0 + n.tm.tm_min * 60.0 + n.tm.tm_sec + n.fraction;
}

LocalDateTime SystemClock::Now() const {
  const LocalNow n = ReadLocalNow();
  LocalDateTime t;
  t.year = n.tm.tm_year + 1900;
  t.month = n.tm.tm_mon + 1;
  t.day = n.tm.tm_mday;
  t.hour = n.tm.tm_hour;
  t.minute = n.tm.tm_min;
  // A leap second shows as :59 rather than :60 in the log.
  t.second = n.tm.tm_sec > 59 ? 59 : n.tm.tm_sec;
  t.millisecond = std::min(static_cast<int>(n.fraction * 1000.0), 999);
  t.utcOffsetMinutes = static_cast<int>(n.utcOffsetSeconds / 60);
  return t;
}

std::int64_t SystemClock::TickMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kv
