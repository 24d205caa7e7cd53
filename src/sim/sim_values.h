#pragma once
// Reading values the way a strict instrument does (nothing guessed), and the
// fixed reply form of its readings.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

/// A decimal number: optional sign, digits with an optional point, optional
/// exponent. No blanks, units or anything else around it.
std::optional<double> ParseSimNumber(std::string_view text);

/// A whole number of decimal digits only (no sign), at most `maxDigits`.
std::optional<int> ParseSimInteger(std::string_view text, int maxDigits = 6);

/// Four decimals, as the load's readings come: 12.3456.
std::string FormatSimReading(double value);

}  // namespace kv
