#include "text/decimal_number.h"

#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

namespace kv {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Walks the text, skipping blanks between characters when the syntax allows
// it, and remembers where the last accepted character ended.
class Cursor {
 public:
  Cursor(std::string_view text, bool blanksInside) : text_(text), blanksInside_(blanksInside) {}

  char Peek() {
    if (blanksInside_) {
      SkipBlanks();
    }
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void Take() { end_ = ++pos_; }
  void SkipBlanks() {
    while (pos_ < text_.size() && IsNumberBlank(text_[pos_])) {
      ++pos_;
    }
  }
  // Hands the run of digits from here (blanks between them skipped when the
  // syntax allows) to `out` a stretch at a time; returns how many there were.
  template <typename Digits>
  std::size_t TakeDigits(Digits& out) {
    std::size_t taken = 0;
    while (true) {
      if (blanksInside_) {
        SkipBlanks();
      }
      std::size_t run = pos_;
      while (run < text_.size() && IsDigit(text_[run])) {
        ++run;
      }
      if (run == pos_) {
        return taken;
      }
      out.append(text_.substr(pos_, run - pos_));
      taken += run - pos_;
      pos_ = end_ = run;
    }
  }
  std::size_t End() const { return end_; }
  struct Mark {
    std::size_t pos, end;
  };
  Mark Save() const { return {pos_, end_}; }
  void Restore(Mark m) {
    pos_ = m.pos;
    end_ = m.end;
  }

 private:
  std::string_view text_;
  bool blanksInside_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

// Large enough that any exponent beyond it overflows or underflows a double
// whatever the mantissa, small enough that adding digit counts cannot overflow.
constexpr std::int64_t kExponentCap = 1'000'000'000;

bool IsExponentLetter(char c, bool dExponent) {
  return c == 'E' || c == 'e' || (dExponent && (c == 'D' || c == 'd'));
}

// Reads "E[+-]digits" when present; leaves the cursor alone when the letter is
// not followed by digits, as "12E" or "3Evolt" still read as 12 and 3.
std::int64_t ScanExponent(Cursor& cur, bool dExponent) {
  if (!IsExponentLetter(cur.Peek(), dExponent)) {
    return 0;
  }
  const Cursor::Mark mark = cur.Save();
  cur.Take();
  bool negative = false;
  if (cur.Peek() == '+' || cur.Peek() == '-') {
    negative = cur.Peek() == '-';
    cur.Take();
  }
  if (!IsDigit(cur.Peek())) {
    cur.Restore(mark);
    return 0;
  }
  std::int64_t exp = 0;
  while (IsDigit(cur.Peek())) {
    if (exp < kExponentCap) {
      exp = exp * 10 + (cur.Peek() - '0');
    }
    cur.Take();
  }
  return negative ? -exp : exp;
}

// What a scan found besides the digits, which went to the scan's sink.
struct Scanned {
  std::size_t end = 0;  // 0: no number
  bool negative = false;
  std::int64_t fractionDigits = 0;
  std::int64_t exponent = 0;
};

// The digits of a number nobody asks for: the check only wants to know where
// a cell's number ends, and it reads every cell after each change of a list.
struct NoDigits {
  void append(std::string_view /*run*/) {}
};

template <typename Digits>
Scanned ScanParts(std::string_view text, NumberSyntax syntax, Digits& digits) {
  Scanned found;
  Cursor cur(text, syntax.blanksInside);
  cur.SkipBlanks();
  if (cur.Peek() == '+' || cur.Peek() == '-') {
    found.negative = cur.Peek() == '-';
    cur.Take();
  }
  bool anyDigit = cur.TakeDigits(digits) > 0;
  if (cur.Peek() == '.') {
    cur.Take();
    found.fractionDigits = static_cast<std::int64_t>(cur.TakeDigits(digits));
    anyDigit = anyDigit || found.fractionDigits > 0;
  }
  if (!anyDigit) {
    return {};  // "-", ".", "+" and words are no number
  }
  found.exponent = ScanExponent(cur, syntax.dExponent);
  found.end = cur.End();
  return found;
}

}  // namespace

std::size_t ScanNumber(std::string_view text, NumberSyntax syntax, DecimalNumber& out) {
  out = DecimalNumber{};
  std::string digits;
  const Scanned found = ScanParts(text, syntax, digits);
  const std::size_t first = digits.find_first_not_of('0');
  if (found.end != 0 && first != std::string::npos) {
    const std::size_t last = digits.find_last_not_of('0');
    out.negative = found.negative;
    out.exponent =
        found.exponent - found.fractionDigits + static_cast<std::int64_t>(digits.size() - 1 - last);
    digits.erase(last + 1);
    digits.erase(0, first);
    out.digits = std::move(digits);
  }
  return found.end;
}

std::size_t NumberEnd(std::string_view text, NumberSyntax syntax) {
  NoDigits none;
  return ScanParts(text, syntax, none).end;
}

namespace {

// Up to 15 digits and 10^0..10^22 are exact doubles, so one multiplication or
// division rounds exactly as a full conversion would; it covers nearly every
// cell and reply, which are read thousands of times a second.
std::optional<double> ExactlyRounded(std::string_view digits, std::int64_t exponent) {
  static constexpr std::array<double, 23> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr std::int64_t kMaxPower = static_cast<std::int64_t>(kPowers.size()) - 1;
  if (digits.size() > 15 || exponent > kMaxPower || exponent < -kMaxPower) {
    return std::nullopt;
  }
  std::uint64_t mantissa = 0;
  for (const char c : digits) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
  }
  const auto m = static_cast<double>(mantissa);
  const double power = kPowers[static_cast<std::size_t>(exponent < 0 ? -exponent : exponent)];
  return exponent < 0 ? m / power : m * power;
}

}  // namespace

double DecimalNumber::ToDouble() const {
  if (IsZero()) {
    return 0.0;
  }
  // Decimal exponent of the leading digit: tells overflow from underflow.
  const std::int64_t magnitude = static_cast<std::int64_t>(digits.size()) - 1 + exponent;
  double value = 0.0;
  if (const std::optional<double> exact = ExactlyRounded(digits, exponent)) {
    value = *exact;
  } else if (magnitude > 400) {
    value = std::numeric_limits<double>::max();
  } else if (magnitude >= -400) {
    const std::string text = digits + 'e' + std::to_string(exponent);
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
      value = magnitude >= 0 ? std::numeric_limits<double>::max() : 0.0;
    }
  }
  return negative ? -value : value;
}

std::int64_t DecimalNumber::ToScaled(int places) const {
  constexpr std::uint64_t kMax =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const auto sign = [this](std::uint64_t magnitude) {
    const auto v = static_cast<std::int64_t>(magnitude);
    return negative ? -v : v;
  };
  if (IsZero()) {
    return 0;
  }
  const std::int64_t size = static_cast<std::int64_t>(digits.size());
  // Digits that stay in front of the point after scaling by 10^places.
  const std::int64_t keep = size + exponent + places;
  if (keep > 19) {
    return sign(kMax);
  }
  if (keep < 0) {
    return 0;  // below half of the last place
  }
  std::uint64_t magnitude = 0;
  for (std::int64_t i = 0; i < keep; ++i) {
    const std::uint64_t digit =
        i < size ? static_cast<std::uint64_t>(digits[static_cast<std::size_t>(i)] - '0') : 0;
    if (magnitude > (kMax - digit) / 10) {
      return sign(kMax);
    }
    magnitude = magnitude * 10 + digit;
  }
  if (keep < size) {
    const char dropped = digits[static_cast<std::size_t>(keep)];
    // Trailing zeros are stripped, so anything after a dropped "5" is non-zero.
    const bool exactHalf = dropped == '5' && keep + 1 == size;
    const bool up =
        dropped > '5' || (dropped == '5' && !exactHalf) || (exactHalf && magnitude % 2 == 1);
    if (up) {
      if (magnitude == kMax) {
        return sign(kMax);
      }
      ++magnitude;
    }
  }
  return sign(magnitude);
}

}  // namespace kv
