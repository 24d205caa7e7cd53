#include "chart/min_max_pyramid.h"

#include <algorithm>
#include <bit>
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
    // That is close ahead: the search gallops from here, where halving the
    // rest of a week-long run would touch memory far away for every column.
    const auto inColumn = [&](double x) { return column(x) <= c; };
    std::size_t from = k;  // in the column
    std::size_t ahead = 1;
    while (k + ahead < end && inColumn(xs[k + ahead])) {
      from = k + ahead;
      ahead *= 2;
    }
    const std::size_t stop = static_cast<std::size_t>(
        std::partition_point(at(from), at(std::min(k + ahead, end)), inColumn) - at(0));
    // Adds what lies between k and the next point not yet taken: the
    // finite points' summary and whether a gap follows them.
    const auto take = [&](const MinMaxColumn& sum, bool gapAfter) {
      if (sum.count == 0) {
        gap = gap || gapAfter;
        return;
      }
      if (col.count == 0) {
        col = sum;
        col.gapBefore = gap || sum.gapBefore;
      } else {
        col.min = std::min(col.min, sum.min);
        col.max = std::max(col.max, sum.max);
        col.last = sum.last;
        col.count += sum.count;
      }
      gap = gapAfter;
    };
    while (k < stop) {
      // The largest whole block that starts here and ends inside the column.
      // Blocks of a level start where k's low bits are zero: from the
      // largest such level down to the first block that fits.
      const Block* taken = nullptr;
      std::size_t size = 1;
      const std::size_t aligned =
          k == 0 ? levels_.size()
                 : std::min(levels_.size(), static_cast<std::size_t>(std::countr_zero(k)) /
                                                static_cast<std::size_t>(kFanBits));
      for (std::size_t level = aligned; level > 0; --level) {
        const std::vector<Block>& blocks = levels_[level - 1];
        const std::size_t shift = static_cast<std::size_t>(kFanBits) * level;
        if (k + (std::size_t{1} << shift) <= stop && (k >> shift) < blocks.size()) {
          taken = &blocks[k >> shift];
          size = std::size_t{1} << shift;
          break;
        }
      }
      if (taken != nullptr) {
        take(taken->sum, taken->gapAfter);
      } else if (const float y = ys[k]; std::isfinite(y)) {
        take({y, y, y, y, 1, false}, false);
      } else {
        gap = true;
      }
      k += size;
    }
  }
  return out;
}

}  // namespace kv
