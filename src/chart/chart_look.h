#pragma once
// How the run chart looks, on the screen and on a report page alike.

#include <QColor>
#include <QString>
#include <array>
#include <cmath>

namespace kv::chart_look {

inline constexpr int kLeftMargin = 64;
inline constexpr int kRightMargin = 12;
inline constexpr int kTopMargin = 34;     // room for the Follow button and step numbers
inline constexpr int kBottomMargin = 38;  // the time labels and, under them, their unit
inline constexpr int kPaneGap = 8;

struct SeriesLook {
  const char* name;
  const char* unit;
  QColor colour;
};
inline const std::array<SeriesLook, 3> kSeries{{{"Voltage", "V", QColor(0x1f, 0x6f, 0xc0)},
                                                {"Current", "A", QColor(0xc0, 0x3a, 0x1f)},
                                                {"Power", "W", QColor(0x2e, 0x8b, 0x3a)}}};

inline QString ElapsedText(double seconds) {
  const auto s = static_cast<long long>(std::llround(seconds));
  if (s >= 86400) {
    return QStringLiteral("%1d %2:%3")
        .arg(s / 86400)
        .arg((s / 3600) % 24, 2, 10, QLatin1Char('0'))
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'));
  }
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A tick step from a list people read easily, at least `minSeconds` wide.
inline double NiceTimeStep(double minSeconds) {
  static constexpr std::array<double, 19> kSteps{1,     2,     5,     10,    15,    30,   60,
                                                 120,   300,   600,   900,   1800,  3600, 7200,
                                                 10800, 21600, 43200, 86400, 172800};
  for (double step : kSteps) {
    if (step >= minSeconds) {
      return step;
    }
  }
  return std::ceil(minSeconds / 86400) * 86400;
}

}  // namespace kv::chart_look
