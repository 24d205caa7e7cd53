#pragma once
// A long series drawn in a few hundred pixel columns: per column the first,
// last, lowest and highest value of the points that fall in it. Drawn as a
// vertical stroke per column joined last-to-first, it looks exactly like the
// full polyline while costing one pass over the visible points. No Qt here.

#include <cstdint>
#include <span>
#include <vector>

namespace kv {

struct MinMaxColumn {
  float first = 0;
  float last = 0;
  float min = 0;
  float max = 0;
  std::uint32_t count = 0;  // 0: no point falls in this column
  /// A point whose y is not finite (a gap) lies between this column's first
  /// point and the previous column's last: they are not to be joined.
  bool gapBefore = false;
};

/// Bins the points (xs[k], ys[k]) with x in [x0, x1] into `columns` equal
/// columns; a point at x1 falls in the last one, so the newest point of a view
/// that ends there is drawn. `xs` must be ascending; points whose y is not
/// finite are gaps, left out and marked. Empty when columns < 1 or x1 <= x0.
std::vector<MinMaxColumn> DecimateMinMax(std::span<const double> xs, std::span<const float> ys,
                                         double x0, double x1, int columns);

}  // namespace kv
