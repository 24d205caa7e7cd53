#include "chart/min_max_pyramid.h"

#include <algorithm>
#include <cmath>

namespace kv {

void MinMaxPyramid::Clear() {
  *this = MinMaxPyramid();
}

// `next` follows `into` directly in the series.
void MinMaxPyramid::Merge(Block& into, const Block& next) {
  MinMaxColumn& a = into.sum;
  const MinMaxColumn& b = next.sum;
  if (b.count == 0) {
    into.gapAfter = into.gapAfter || next.gapAfter;
  } else if (a.count == 0) {
    const bool gap = a.gapBefore || into.gapAfter || b.gapBefore;
    a = b;
    a.gapBefore = gap;
    into.gapAfter = next.gapAfter;
  } else {
    a.min = std::min(a.min, b.min);
    a.max = std::max(a.max, b.max);
    a.last = b.last;
    a.count += b.count;
    into.gapAfter = next.gapAfter;
  }
  into.xLast = next.xLast;
}

void MinMaxPyramid::Append(double x, float y) {
  Block point;
  point.xFirst = point.xLast = x;
  if (std::isfinite(y)) {
    point.sum = {y, y, y, y, 1, false};
  } else {
    point.gapAfter = true;
  }
  for (int level = 0; level < kLevels; ++level) {
    Block& open = open_[static_cast<std::size_t>(level)];
    std::size_t& parts = openCount_[static_cast<std::size_t>(level)];
    if (parts == 0) {
      open = point;
    } else {
      Merge(open, point);
    }
    if (++parts < kFan) {
      return;
    }
    levels_[static_cast<std::size_t>(level)].push_back(open);
    point = open;
    parts = 0;
  }
}

std::vector<MinMaxColumn> MinMaxPyramid::Decimate(std::span<const double> xs,
                                                  std::span<const float> ys, double x0, double x1,
                                                  int columns) const {
  std::vector<MinMaxColumn> out;
  if (columns < 1 || !(x1 > x0)) {
    return out;
  }
  out.resize(static_cast<std::size_t>(columns));
  const std::size_t n = std::min(xs.size(), ys.size());
  const double scale = columns / (x1 - x0);
  // Rounding can put a point just below x1 one column too far.
  const auto column = [&](double x) {
    return std::min(static_cast<std::size_t>((x - x0) * scale), out.size() - 1);
  };
  const auto at = [&](std::size_t k) { return xs.begin() + static_cast<std::ptrdiff_t>(k); };
  std::size_t k = static_cast<std::size_t>(std::lower_bound(at(0), at(n), x0) - at(0));
  const std::size_t end = static_cast<std::size_t>(
      std::partition_point(at(k), at(n), [x1](double x) { return x <= x1; }) - at(0));
  bool gap = false;  // a gap since the last finite point taken
  while (k < end) {
    const std::size_t c = column(xs[k]);
    MinMaxColumn& col = out[c];
    // The column's points end where the first point of a later one begins.
    const std::size_t stop = static_cast<std::size_t>(
        std::partition_point(at(k), at(end), [&](double x) { return column(x) <= c; }) - at(0));
    while (k < stop) {
      // The largest whole block that starts here and ends inside the column.
      Block taken;
      std::size_t size = 1;
      for (int level = 0; level < kLevels; ++level) {
        const std::vector<Block>& blocks = levels_[static_cast<std::size_t>(level)];
        const int shift = kFanBits * (level + 1);
        const std::size_t blockSize = std::size_t{1} << shift;
        if ((k & (blockSize - 1)) != 0 || k + blockSize > stop || (k >> shift) >= blocks.size()) {
          break;
        }
        taken = blocks[k >> shift];
        size = blockSize;
      }
      if (size == 1) {
        if (std::isfinite(ys[k])) {
          taken.sum = {ys[k], ys[k], ys[k], ys[k], 1, false};
        } else {
          taken.gapAfter = true;
        }
      }
      k += size;
      if (taken.sum.count == 0) {
        gap = gap || taken.gapAfter;
        continue;
      }
      if (col.count == 0) {
        col = taken.sum;
        col.gapBefore = gap || taken.sum.gapBefore;
      } else {
        col.min = std::min(col.min, taken.sum.min);
        col.max = std::max(col.max, taken.sum.max);
        col.last = taken.sum.last;
        col.count += taken.sum.count;
      }
      gap = taken.gapAfter;
    }
  }
  return out;
}

}  // namespace kv
