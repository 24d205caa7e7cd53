#include "runner/clock_cells.h"

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

}  // namespace kv
