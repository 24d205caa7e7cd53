// Writing numbers as text. Everything goes through std::to_chars so that the
// decimal point is "." whatever locale the process runs in.

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "text/number_text.h"

namespace kv {

namespace {

constexpr int kSignificantDigits = 15;

std::string ExponentText(int exp) {
  std::string text = exp < 0 ? "-" : "+";
  const int magnitude = std::abs(exp);
  if (magnitude < 10) {
    text += '0';  // always at least two digits: 1E-05, 1.5E+15
  }
  text += std::to_string(magnitude);
  return text;
}

}  // namespace

std::string FormatNumber(double value) {
  if (std::isnan(value)) {
    return "NaN";
  }
  if (std::isinf(value)) {
    return value > 0 ? "Inf" : "-Inf";
  }
  if (value == 0.0) {
    return "0";  // also for -0
  }
  // Rounding to 15 significant digits first hides the binary noise of sums:
  // 0.1 + 0.2 prints 0.3, and 0.0005 + 0.0005 prints 0.001.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific,
                                 kSignificantDigits - 1);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));  // -d.ddde-05
  const bool negative = sci.front() == '-';
  const std::size_t ePos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(negative ? 1 : 0, ePos - (negative ? 1 : 0))) {
    if (c != '.') {
      digits += c;
    }
  }
  digits.erase(digits.find_last_not_of('0') + 1);
  const std::string_view expText = sci.substr(ePos + 1);
  int exp = 0;
  std::from_chars(expText.data() + (expText.front() == '+' ? 1 : 0),
                  expText.data() + expText.size(), exp);

  std::string text = negative ? "-" : "";
  if (exp < -4 || exp >= kSignificantDigits) {
    text += digits.front();
    if (digits.size() > 1) {
      text += '.';
      text.append(digits, 1);
    }
    text += 'E';
    text += ExponentText(exp);
  } else if (exp < 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exp - 1), '0');
    text += digits;
  } else {
    const auto intDigits = static_cast<std::size_t>(exp) + 1;
    if (digits.size() <= intDigits) {
      text += digits;
      text.append(intDigits - digits.size(), '0');
    } else {
      text.append(digits, 0, intDigits);
      text += '.';
      text.append(digits, intDigits);
    }
  }
  return text;
}

std::string FormatFixed4(Fixed4 value) {
  // Unsigned arithmetic so that the most negative value has a magnitude too.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string text = value < 0 ? "-" : "";
  text += std::to_string(magnitude / static_cast<std::uint64_t>(kFixed4One));
  std::uint64_t fraction = magnitude % static_cast<std::uint64_t>(kFixed4One);
  if (fraction != 0) {
    std::string places = std::to_string(fraction);
    places.insert(0, 4 - places.size(), '0');
    places.erase(places.find_last_not_of('0') + 1);
    text += '.';
    text += places;
  }
  return text;
}

double Round8(double value) {
  // Beyond 10^15 a double has no eighth decimal to round.
  if (!std::isfinite(value) || std::fabs(value) >= 1e15) {
    return value;
  }
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 8);
  double rounded = value;
  std::from_chars(buf, res.ptr, rounded);
  return rounded == 0.0 ? 0.0 : rounded;
}

}  // namespace kv
