#include "text/decimal_number.h"

#include <charconv>
#include <limits>
#include <system_error>

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

}  // namespace

std::size_t ScanNumber(std::string_view text, NumberSyntax syntax, DecimalNumber& out) {
  out = DecimalNumber{};
  Cursor cur(text, syntax.blanksInside);
  cur.SkipBlanks();

  bool negative = false;
  if (cur.Peek() == '+' || cur.Peek() == '-') {
    negative = cur.Peek() == '-';
    cur.Take();
  }
  std::string digits;
  std::int64_t fractionDigits = 0;
  bool anyDigit = false;
  while (IsDigit(cur.Peek())) {
    digits += cur.Peek();
    anyDigit = true;
    cur.Take();
  }
  if (cur.Peek() == '.') {
    cur.Take();
    while (IsDigit(cur.Peek())) {
      digits += cur.Peek();
      ++fractionDigits;
      anyDigit = true;
      cur.Take();
    }
  }
  if (!anyDigit) {
    return 0;  // "-", ".", "+" and words are no number
  }
  const std::int64_t exp = ScanExponent(cur, syntax.dExponent);

  const std::size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos) {
    const std::size_t last = digits.find_last_not_of('0');
    out.negative = negative;
    out.digits = digits.substr(first, last - first + 1);
    out.exponent = exp - fractionDigits + static_cast<std::int64_t>(digits.size() - 1 - last);
  }
  return cur.End();
}

double DecimalNumber::ToDouble() const {
  if (IsZero()) {
    return 0.0;
  }
  // Decimal exponent of the leading digit: tells overflow from underflow.
  const std::int64_t magnitude = static_cast<std::int64_t>(digits.size()) - 1 + exponent;
  double value = 0.0;
  if (magnitude > 400) {
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
