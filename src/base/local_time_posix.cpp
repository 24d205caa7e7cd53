#include "base/local_time.h"

namespace kv {

LocalTime LocalTimeOf(std::time_t instant) {
  LocalTime out;
  localtime_r(&instant, &out.tm);
  out.utcOffsetSeconds = out.tm.tm_gmtoff;
  return out;
}

}  // namespace kv
