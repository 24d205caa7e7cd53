#pragma once
// The time cells of a result row.

#include <string>

#include "base/clock.h"

namespace kv {

/// "hh:mm:ss", 24-hour.
std::string FormatClockCell(const LocalDateTime& t);
/// "YYYY/MM/DD hh:mm:ss".
std::string FormatStampCell(const LocalDateTime& t);

}  // namespace kv
