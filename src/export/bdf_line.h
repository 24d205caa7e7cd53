#pragma once
// One line of a Battery Data Format table, written into a fixed buffer: a
// million rows must convert about as fast as they are copied, so a number's
// shape is checked by hand and only a number that is not plain decimal goes
// through a binary conversion.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kv {

/// A cell's number as the table writes it: the cell's own digits (no binary
/// round trip), blanks and a leading "+" dropped.
struct BdfNumber {
  std::string_view text;
  /// False when the cell holds anything but one number a load or the runner
  /// could have written.
  bool ok = false;
  bool zero = true;
  /// The value in units of 1e-8 (the grid of the runner's sums), where asked for.
  std::int64_t e8 = 0;
};

inline constexpr std::int64_t kBdfE8 = 100000000;
/// A longer cell holds no reading.
inline constexpr std::size_t kBdfMaxCell = 40;

/// Reads `cell`; with `kWantE8` also its value in units of 1e-8.
template <bool kWantE8>
[[gnu::always_inline]] inline BdfNumber ReadBdfNumber(std::string_view cell) {
  while (!cell.empty() && cell.front() == ' ') {
    cell.remove_prefix(1);
  }
  while (!cell.empty() && cell.back() == ' ') {
    cell.remove_suffix(1);
  }
  if (!cell.empty() && cell.front() == '+') {
    cell.remove_prefix(1);
  }
  BdfNumber n;
  n.text = cell;
  const std::size_t size = cell.size();
  if (size > kBdfMaxCell) {
    return n;
  }
  if constexpr (!kWantE8) {
    // The common shape, -?[0-9.]+ with one point at most, in one pass
    // without branches; anything else takes the full scan below.
    const std::size_t sign = size > 0 && cell.front() == '-' ? 1 : 0;
    unsigned points = 0;
    unsigned nonZero = 0;
    unsigned other = 0;
    for (std::size_t i = sign; i < size; ++i) {
      const unsigned offset = static_cast<unsigned char>(cell[i]) - unsigned{'0'};
      const unsigned point = cell[i] == '.' ? 1U : 0U;
      points += point;
      nonZero |= offset - 1U < 9U ? 1U : 0U;
      other |= (offset > 9U ? 1U : 0U) & (point ^ 1U);
    }
    if (other == 0 && points <= 1 && size > sign + points) {
      n.ok = true;
      n.zero = nonZero == 0;
      return n;
    }
  }
  const auto digit = [&cell](std::size_t i) { return cell[i] >= '0' && cell[i] <= '9'; };
  std::size_t i = size > 0 && cell.front() == '-' ? 1 : 0;
  const bool negative = i == 1;
  std::int64_t whole = 0;
  std::int64_t fraction = 0;
  std::size_t digits = 0;
  bool zero = true;
  bool exact = true;  // whole * 1e8 + fraction is the value
  for (; i < size && digit(i); ++i, ++digits) {
    zero = zero && cell[i] == '0';
    if constexpr (kWantE8) {
      exact = exact && digits < 10;
      whole = exact ? whole * 10 + (cell[i] - '0') : whole;
    }
  }
  if (i < size && cell[i] == '.') {
    // Past the eighth decimal only the ninth counts, rounding: the sums
    // lie on the 1e-8 grid, also one that drifted off it by a float's error.
    std::size_t decimals = 0;
    bool roundUp = false;
    for (++i; i < size && digit(i); ++i, ++decimals) {
      zero = zero && cell[i] == '0';
      if constexpr (kWantE8) {
        fraction = decimals < 8 ? fraction * 10 + (cell[i] - '0') : fraction;
        roundUp = decimals == 8 ? cell[i] >= '5' : roundUp;
      }
    }
    digits += decimals;
    if constexpr (kWantE8) {
      constexpr std::int64_t kScale[] = {100000000, 10000000, 1000000, 100000, 10000,
                                         1000,      100,      10,      1};
      fraction = fraction * kScale[decimals < 8 ? decimals : 8] + (roundUp ? 1 : 0);
    }
  }
  n.zero = zero;
  if (digits == 0) {
    return n;
  }
  if (i < size && (cell[i] == 'e' || cell[i] == 'E')) {
    // Two exponent digits cover every number a load or the runner writes.
    i += i + 1 < size && (cell[i + 1] == '-' || cell[i + 1] == '+') ? 2 : 1;
    const std::size_t first = i;
    while (i < size && digit(i)) {
      ++i;
    }
    if (i == first || i - first > 2) {
      return n;
    }
    exact = false;
  }
  n.ok = i == size;
  if (!n.ok || !kWantE8) {
    return n;
  }
  if (exact) {
    n.e8 = whole * kBdfE8 + fraction;
  } else {
    double value = 0.0;
    std::from_chars(cell.data(), cell.data() + size, value);
    n.ok = std::fabs(value) < 1e10;  // a sum beyond that is no battery's
    n.e8 = n.ok ? std::llround(value * static_cast<double>(kBdfE8)) : 0;
  }
  n.e8 = negative ? -n.e8 : n.e8;
  return n;
}

/// Twelve cells of at most kBdfMaxCell characters, their signs and commas.
class BdfLine {
 public:
  void Text(std::string_view text) {
    std::memcpy(end_, text.data(), text.size());
    end_ += text.size();
  }
  void Comma() { *end_++ = ','; }
  void Integer(std::int64_t value) { end_ = std::to_chars(end_, end_ + 24, value).ptr; }
  /// The number with its sign turned: the load's view becomes the battery's.
  void SignFlipped(const BdfNumber& n) {
    if (n.zero) {
      *end_++ = '0';
    } else if (n.text.front() == '-') {
      Text(n.text.substr(1));
    } else {
      *end_++ = '-';
      Text(n.text);
    }
  }
  /// Seconds with exactly three decimals, from whole milliseconds.
  void Milliseconds(std::int64_t ms) {
    if (ms < 0) {
      *end_++ = '-';
      ms = -ms;
    }
    Integer(ms / 1000);
    const auto frac = static_cast<int>(ms % 1000);
    end_[0] = '.';
    end_[1] = static_cast<char>('0' + frac / 100);
    end_[2] = static_cast<char>('0' + frac / 10 % 10);
    end_[3] = static_cast<char>('0' + frac % 10);
    end_ += 4;
  }
  /// A value in units of 1e-8 as decimal text without trailing zeros.
  void E8(std::int64_t e8) {
    if (e8 < 0) {
      *end_++ = '-';
      e8 = -e8;
    }
    Integer(e8 / kBdfE8);
    auto fraction = static_cast<std::uint32_t>(e8 % kBdfE8);
    if (fraction == 0) {
      return;
    }
    *end_ = '.';
    for (char* d = end_ + 8; d > end_; --d, fraction /= 10) {
      *d = static_cast<char>('0' + fraction % 10);
    }
    end_ += 9;
    while (end_[-1] == '0') {
      --end_;
    }
  }
  void AppendTo(std::string& out) {
    *end_++ = '\r';
    *end_++ = '\n';
    out.append(buf_, static_cast<std::size_t>(end_ - buf_));
    end_ = buf_;
  }

 private:
  char buf_[12 * (kBdfMaxCell + 26) + 2];
  char* end_ = buf_;
};

}  // namespace kv
