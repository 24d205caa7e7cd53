#pragma once
// A clock that moves only when a test moves it.

#include <cstdint>

#include "base/clock.h"

namespace kv::test {

class FakeClock : public Clock {
 public:
  /// Starts on 2026-12-06 at `startSecondsOfDay` (default 10:00:00).
  explicit FakeClock(double startSecondsOfDay = 36000.0) : ms_(ToMs(startSecondsOfDay)) {}

  void AdvanceMs(std::int64_t ms) { ms_ += ms; }
  void AdvanceSeconds(double s) { ms_ += ToMs(s); }

  double SecondsSinceMidnight() const override {
    return static_cast<double>(ms_ % kDayMs) / 1000.0;
  }
  LocalDateTime Now() const override {
    const std::int64_t secs = ms_ / 1000;
    const std::int64_t sod = secs % 86400;
    LocalDateTime t{2026, 12, 6 + static_cast<int>(secs / 86400), 0, 0, 0};
    // Tests run at most a few weeks; carry the day into the next months.
    while (t.day > DaysIn(t.month)) {
      t.day -= DaysIn(t.month);
      t.month = t.month % 12 + 1;
      if (t.month == 1) {
        ++t.year;
      }
    }
    t.hour = static_cast<int>(sod / 3600);
    t.minute = static_cast<int>(sod / 60 % 60);
    t.second = static_cast<int>(sod % 60);
    return t;
  }
  std::int64_t TickMs() const override { return ms_; }

 private:
  static constexpr std::int64_t kDayMs = 86400000;
  static std::int64_t ToMs(double s) { return static_cast<std::int64_t>(s * 1000.0 + 0.5); }
  static int DaysIn(int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1];
  }

  std::int64_t ms_;
};

}  // namespace kv::test
