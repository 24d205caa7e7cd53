#pragma once
// The time cells of a result row.

#include <optional>
#include <string>
#include <string_view>

#include "base/clock.h"

namespace kv {

/// "hh:mm:ss", 24-hour.
std::string FormatClockCell(const LocalDateTime& t);
/// "YYYY/MM/DD hh:mm:ss".
std::string FormatStampCell(const LocalDateTime& t);
/// A stamp cell read back, in the zone of `zone` (milliseconds 0); none when
/// the cell is not in the stamp's shape.
std::optional<LocalDateTime> ReadStampCell(std::string_view cell, const LocalDateTime& zone);

}  // namespace kv
