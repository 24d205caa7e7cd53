#pragma once
// How a verdict looks wherever it is shown: the log, the summary, the chart.
// PASS green and FAIL red, so they stand out from the measurement rows.

#include <QColor>
#include <optional>
#include <string_view>

namespace kv {

inline constexpr std::string_view kPassText = "PASS";
inline constexpr std::string_view kFailText = "FAIL";

/// The background of a row or cell holding `verdict`; none for other text.
inline std::optional<QColor> VerdictBackground(std::string_view verdict) {
  if (verdict == kPassText) {
    return QColor(0xc6, 0xef, 0xce);
  }
  if (verdict == kFailText) {
    return QColor(0xff, 0xc7, 0xce);
  }
  return std::nullopt;
}

/// The colour of a verdict's mark or text on a plain background.
inline QColor VerdictInk(bool pass) {
  return pass ? QColor(0x1e, 0x7b, 0x34) : QColor(0xc0, 0x1c, 0x28);
}

}  // namespace kv
