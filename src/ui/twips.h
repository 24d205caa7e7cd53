#pragma once
// Sizes of the step list's layout are given in twips, 1440 to the inch of the
// screen's logical resolution.

#include <QWidget>
#include <cmath>

namespace kv {

inline int TwipsToPixels(int twips, const QWidget* widget) {
  return static_cast<int>(std::lround(twips * widget->logicalDpiX() / 1440.0));
}

}  // namespace kv
