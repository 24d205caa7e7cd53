#pragma once
// A number read from text and kept as its decimal digits. Rounding to a fixed
// number of places works on these digits, so "0.00015" rounds to 0.0002 as an
// operator reads it, not to the nearest binary double's neighbour.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

struct DecimalNumber {
  bool negative = false;
  /// Significant digits without leading or trailing zeros; empty for zero.
  std::string digits;
  /// The value is digits x 10^exponent.
  std::int64_t exponent = 0;

  bool IsZero() const { return digits.empty(); }
  /// Nearest double; beyond the double range gives the largest finite double
  /// (or 0 for tiny magnitudes), never infinity.
  double ToDouble() const;
  /// value x 10^places rounded half to even, saturated to +-INT64_MAX.
  std::int64_t ToScaled(int places) const;
};

/// What a reader accepts besides sign, digits, "." and an "E" exponent.
struct NumberSyntax {
  /// Blanks anywhere are ignored ("1 000" reads 1000), not only leading ones.
  bool blanksInside = false;
  /// "D" is accepted as exponent letter as well as "E".
  bool dExponent = false;
};

/// Reads the number at the start of `text` (leading blanks skipped) into
/// `out`. Returns the offset just past the last character of the number, 0
/// when the text does not begin with a number (then `out` is zero).
std::size_t ScanNumber(std::string_view text, NumberSyntax syntax, DecimalNumber& out);

/// Where the number at the start of `text` ends, as ScanNumber() says, without
/// keeping its digits.
std::size_t NumberEnd(std::string_view text, NumberSyntax syntax);

/// Blank as the readers understand it: space, tab, CR, LF.
inline bool IsNumberBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace kv
