#include "sim/sim_values.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace kv {
namespace {

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// from_chars alone would accept "inf", "nan" and hexadecimal forms; the load
// reads plain decimals only, so the shape is checked first.
bool HasDecimalShape(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    ++i;
  }
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    ++i;
    ++digits;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0) {
    return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      ++i;
    }
    std::size_t expDigits = 0;
    while (i < s.size() && IsDigit(s[i])) {
      ++i;
      ++expDigits;
    }
    if (expDigits == 0) {
      return false;
    }
  }
  return i == s.size();
}

}  // namespace

std::optional<double> ParseSimNumber(std::string_view text) {
  if (!HasDecimalShape(text)) {
    return std::nullopt;
  }
  if (text.front() == '+') {
    text.remove_prefix(1);
  }
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> ParseSimInteger(std::string_view text, int maxDigits) {
  if (text.empty() || text.size() > static_cast<std::size_t>(maxDigits)) {
    return std::nullopt;
  }
  int value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string FormatSimReading(double value) {
  char buf[64];
  // Avoid "-0.0000" for readings that are zero up to rounding.
  if (std::fabs(value) < 0.00005) {
    value = 0.0;
  }
  std::snprintf(buf, sizeof buf, "%.4f", value);
  return buf;
}

}  // namespace kv
