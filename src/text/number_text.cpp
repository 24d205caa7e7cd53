#include "text/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "text/decimal_number.h"

namespace kv {

namespace {

constexpr NumberSyntax kReplySyntax{};
constexpr NumberSyntax kFieldSyntax{.blanksInside = true, .dExponent = true};
constexpr NumberSyntax kCellSyntax{.blanksInside = false, .dExponent = true};

DecimalNumber Scan(std::string_view text, NumberSyntax syntax) {
  DecimalNumber number;
  ScanNumber(text, syntax, number);
  return number;
}

// A cell that is a number from end to end reads in full ("1D3" is 1000); any
// other text falls back to the number it begins with, like a reply.
DecimalNumber ScanCell(std::string_view text) {
  DecimalNumber number;
  std::size_t end = ScanNumber(text, kCellSyntax, number);
  while (end < text.size() && IsNumberBlank(text[end])) {
    ++end;
  }
  if (end == text.size()) {
    return number;
  }
  return Scan(text, kReplySyntax);
}

}  // namespace

double Value(std::string_view text) {
  return Scan(text, kReplySyntax).ToDouble();
}

double FieldNumber(std::string_view text) {
  return Scan(text, kFieldSyntax).ToDouble();
}

std::string NumberText(std::string_view text) {
  return FormatNumber(FieldNumber(text));
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) {
    return value;
  }
  const double below = std::floor(value);
  const double diff = value - below;
  if (diff < 0.5) {
    return below;
  }
  if (diff > 0.5) {
    return below + 1.0;
  }
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

double ToDouble(std::string_view text) {
  return ScanCell(text).ToDouble();
}

Fixed4 ToFixed4(std::string_view text) {
  return ScanCell(text).ToScaled(4);
}

Fixed4 AddFixed4(Fixed4 a, Fixed4 b) {
  constexpr Fixed4 kMax = std::numeric_limits<Fixed4>::max();
  constexpr Fixed4 kMin = std::numeric_limits<Fixed4>::min();
  if (b > 0 && a > kMax - b) {
    return kMax;
  }
  if (b < 0 && a < kMin - b) {
    return kMin;
  }
  return a + b;
}

std::int16_t ToInt16(std::string_view text) {
  const std::int64_t value = ScanCell(text).ToScaled(0);
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

bool StartsWithNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    return false;
  }
  const char c = text[first];
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

}  // namespace kv
