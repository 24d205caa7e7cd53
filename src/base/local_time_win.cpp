#include <chrono>

#include "base/local_time.h"

namespace kv {

LocalTime LocalTimeOf(std::time_t instant) {
  LocalTime out;
  localtime_s(&out.tm, &instant);
  // Windows' tm carries no offset: the local fields read as UTC, minus the
  // instant, are it.
  using namespace std::chrono;
  const sys_days day{year{out.tm.tm_year + 1900} / (out.tm.tm_mon + 1) / out.tm.tm_mday};
  const sys_seconds asIfUtc =
      day + hours{out.tm.tm_hour} + minutes{out.tm.tm_min} + seconds{out.tm.tm_sec};
  out.utcOffsetSeconds = static_cast<long>(asIfUtc.time_since_epoch().count() - instant);
  return out;
}

}  // namespace kv
