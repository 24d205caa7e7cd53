#include <gtest/gtest.h>

#include "runner/clock_cells.h"
#include "runner/system_clock.h"

namespace kv {
namespace {

TEST(ClockCells, TwoDigitFieldsAndFourDigitYear) {
  const LocalDateTime t{2026, 1, 2, 3, 4, 5};
  EXPECT_EQ(FormatClockCell(t), "03:04:05");
  EXPECT_EQ(FormatStampCell(t), "2026/01/02 03:04:05");
  const LocalDateTime late{2026, 12, 31, 23, 59, 59};
  EXPECT_EQ(FormatStampCell(late), "2026/12/31 23:59:59");
}

TEST(ClockCells, OutOfRangeFieldsNeverWidenTheCell) {
  const LocalDateTime t{123456, -1, 200, 100, -5, 60};
  EXPECT_EQ(FormatClockCell(t), "99:00:60");
  EXPECT_EQ(FormatStampCell(t), "9999/00/99 99:00:60");
}

TEST(SystemClock, AgreesWithItselfAndMovesForward) {
  const SystemClock clock;
  const LocalDateTime now = clock.Now();
  const double sod = clock.SecondsSinceMidnight();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  const double fromFields = now.hour * 3600.0 + now.minute * 60.0 + now.second;
  // Read a moment apart; a midnight in between is the only way to differ a lot.
  const double diff = sod - fromFields;
  EXPECT_TRUE((diff > -1.0 && diff < 2.0) || diff < -86000.0) << diff;

  const std::int64_t a = clock.TickMs();
  const std::int64_t b = clock.TickMs();
  EXPECT_LE(a, b);
}

}  // namespace
}  // namespace kv
