#pragma once
// DecimateMinMax for views over very long series: blocks of 8, 64, 512 and
// 4096 consecutive points are summed up once as the points arrive, so a view
// of a week draws from some thousands of blocks instead of every point. A
// block is taken only where it falls wholly inside one pixel column; the
// columns come out exactly as DecimateMinMax makes them. No Qt here.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "chart/min_max_decimation.h"

namespace kv {

class MinMaxPyramid {
 public:
  void Clear();
  /// The next point of the series; `x` must not be below the previous one.
  void Append(double x, float y);
  /// As DecimateMinMax(xs, ys, ...), where xs and ys hold every point
  /// appended, in order.
  std::vector<MinMaxColumn> Decimate(std::span<const double> xs, std::span<const float> ys,
                                     double x0, double x1, int columns) const;

 private:
  struct Block {
    double xFirst = 0;
    double xLast = 0;
    MinMaxColumn sum;       // of the finite points; sum.gapBefore: a gap before the first
    bool gapAfter = false;  // a gap after the last finite point (or an all-gap block)
  };
  static constexpr int kLevels = 4;
  static constexpr int kFanBits = 3;
  static constexpr std::size_t kFan = std::size_t{1} << kFanBits;
  static void Merge(Block& into, const Block& next);

  std::array<std::vector<Block>, kLevels> levels_;  // level L: blocks of 8^(L+1) points
  std::array<Block, kLevels> open_;                 // the block each level is filling
  std::array<std::size_t, kLevels> openCount_{};    // its parts so far
};

}  // namespace kv
