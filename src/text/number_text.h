#pragma once
// Number <-> text conversions shared by every layer. Step and result values
// live as text; they become numbers only where they are used, through these.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

/// The number a reply text begins with: leading blanks skipped, "." as decimal
/// point, 0 when the text does not begin with a number.
double Value(std::string_view text);

/// Whether a reply text begins (after blanks) with a digit, a sign or a
/// point: a measurement, where Value() would read 0 from anything else.
bool StartsWithNumber(std::string_view text);

/// The numeric value of an editor field: blanks ignored, "E" or "D" exponent
/// accepted, a text that does not begin with a number gives 0.
double FieldNumber(std::string_view text);

/// An editor field's text written back as number text ("0.50" -> "0.5",
/// "12V" -> "12", "" -> "0").
std::string NumberText(std::string_view text);

/// General number format: up to 15 significant digits, no trailing zeros, "."
/// always, "0." below 1, exponent form (1E-05, 1.5E+15) for non-zero
/// magnitudes below 0.0001 or from 10^15 up. NaN and infinities, which no
/// conversion here produces, are written "NaN", "Inf" and "-Inf".
std::string FormatNumber(double value);

/// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);

/// Rounds to 8 decimal places (the runner's round8 of ampere- and watt-hour
/// increments), halves to the even neighbour.
double Round8(double value);

/// Cell text to double (the runner's number(c)); a text that is not a whole
/// number converts as Value() does. Never throws.
double ToDouble(std::string_view text);

/// Signed fixed point with 4 decimal places: the value times 10000.
using Fixed4 = std::int64_t;
inline constexpr Fixed4 kFixed4One = 10000;

/// Cell text to fixed point (the runner's fixed(c)), rounded half to even at
/// the fourth decimal; non-numeric text converts as Value() does.
Fixed4 ToFixed4(std::string_view text);

/// a + b, held at the ends of the range instead of wrapping round: a budget
/// read from "1E20" must stay the largest one, not turn negative.
Fixed4 AddFixed4(Fixed4 a, Fixed4 b);

/// Shortest text of a fixed-point value: 10.5000 -> "10.5", 3 -> "3".
std::string FormatFixed4(Fixed4 value);

/// Cell text to a signed 16-bit integer (the runner's integer(c)): rounded
/// half to even, clamped to the 16-bit range.
std::int16_t ToInt16(std::string_view text);

}  // namespace kv
