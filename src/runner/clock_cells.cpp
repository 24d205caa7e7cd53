#include "runner/clock_cells.h"

#include <charconv>
#include <cstdio>

namespace kv {

namespace {

// Two digits for the time fields; values outside 0..99 are clamped so that a
// broken clock can never overflow the cell.
int Clamp2(int v) {
  return v < 0 ? 0 : (v > 99 ? 99 : v);
}

}  // namespace

std::string FormatClockCell(const LocalDateTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", Clamp2(t.hour), Clamp2(t.minute),
                Clamp2(t.second));
  return buf;
}

std::string FormatStampCell(const LocalDateTime& t) {
  const int year = t.year < 0 ? 0 : (t.year > 9999 ? 9999 : t.year);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d ", year, Clamp2(t.month), Clamp2(t.day));
  return buf + FormatClockCell(t);
}

std::optional<LocalDateTime> ReadStampCell(std::string_view cell, const LocalDateTime& zone) {
  constexpr std::string_view kShape = "dddd/dd/dd dd:dd:dd";
  if (cell.size() != kShape.size()) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == 'd' ? (cell[i] < '0' || cell[i] > '9') : cell[i] != kShape[i]) {
      return std::nullopt;
    }
  }
  const auto field = [cell](std::size_t at, std::size_t len) {
    int v = 0;
    std::from_chars(cell.data() + at, cell.data() + at + len, v);
    return v;
  };
  LocalDateTime t = zone;
  t.year = field(0, 4);
  t.month = field(5, 2);
  t.day = field(8, 2);
  t.hour = field(11, 2);
  t.minute = field(14, 2);
  t.second = field(17, 2);
  t.millisecond = 0;
  return t;
}

}  // namespace kv
