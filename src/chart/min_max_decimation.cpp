#include "chart/min_max_decimation.h"

#include <algorithm>
#include <cmath>

namespace kv {

std::vector<MinMaxColumn> DecimateMinMax(std::span<const double> xs, std::span<const float> ys,
                                         double x0, double x1, int columns) {
  std::vector<MinMaxColumn> out;
  if (columns < 1 || !(x1 > x0)) {
    return out;
  }
  out.resize(static_cast<std::size_t>(columns));
  const std::size_t n = std::min(xs.size(), ys.size());
  const auto begin = xs.begin();
  const std::size_t first = static_cast<std::size_t>(
      std::lower_bound(begin, begin + static_cast<std::ptrdiff_t>(n), x0) - begin);
  const double scale = columns / (x1 - x0);
  bool gap = false;
  for (std::size_t k = first; k < n && xs[k] <= x1; ++k) {
    const float y = ys[k];
    if (!std::isfinite(y)) {
      gap = true;
      continue;
    }
    // Rounding can put a point just below x1 one column too far.
    const auto c = std::min(static_cast<std::size_t>((xs[k] - x0) * scale), out.size() - 1);
    MinMaxColumn& col = out[c];
    if (col.count == 0) {
      col.first = col.min = col.max = y;
      col.gapBefore = gap;
    } else {
      col.min = std::min(col.min, y);
      col.max = std::max(col.max, y);
    }
    col.last = y;
    ++col.count;
    gap = false;
  }
  return out;
}

}  // namespace kv
