#include "sim/sim_source.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kv {
namespace {

// Shape of a lithium cell's open-circuit voltage over its state of charge,
// 0 = empty voltage, 1 = full voltage: steep at both ends, flat in between.
// With 2.5 V empty and 4.2 V full a 3.0 V cut-off under load comes at a few
// per cent left, as on a real cell.
struct CurvePoint {
  double soc;
  double fraction;
};
constexpr std::array<CurvePoint, 9> kOcvCurve = {{
    {0.00, 0.0000},
    {0.05, 0.4706},
    {0.10, 0.6176},
    {0.20, 0.6941},
    {0.40, 0.7529},
    {0.60, 0.8118},
    {0.80, 0.8824},
    {0.90, 0.9294},
    {1.00, 1.0000},
}};

double CurveFraction(double soc) {
  soc = std::clamp(soc, 0.0, 1.0);
  for (std::size_t i = 1; i < kOcvCurve.size(); ++i) {
    if (soc <= kOcvCurve[i].soc) {
      const CurvePoint& a = kOcvCurve[i - 1];
      const CurvePoint& b = kOcvCurve[i];
      return a.fraction + (b.fraction - a.fraction) * (soc - a.soc) / (b.soc - a.soc);
    }
  }
  return 1.0;
}

constexpr double kMinOhm = 1e-4;
constexpr double kShortOhm = 0.01;
constexpr double kTolerance = 1e-9;

}  // namespace

SimSource::SimSource(const SimSourceParams& params) : params_(params) {}

double SimSource::StateOfCharge() const {
  if (params_.kind == SimSourceKind::Supply) {
    return 1.0;
  }
  if (params_.capacityAh <= 0.0) {
    return 0.0;
  }
  return std::clamp(params_.initialSoc - drawnAh_ / params_.capacityAh, 0.0, 1.0);
}

double SimSource::OpenCircuitVoltage() const {
  if (params_.kind == SimSourceKind::Supply) {
    return params_.fullVoltage;
  }
  return params_.emptyVoltage +
         (params_.fullVoltage - params_.emptyVoltage) * CurveFraction(StateOfCharge());
}

SimReading SimSource::Solve(const SimDemand& demand, double loadMaxA) const {
  const double e = OpenCircuitVoltage();
  const bool battery = params_.kind == SimSourceKind::Battery;
  if (demand.draw == SimDraw::None) {
    return {e, 0.0, false};
  }
  if (battery && StateOfCharge() <= 0.0) {
    // An empty cell's protection has cut its output.
    return {0.0, 0.0, true};
  }
  const double r = std::max(params_.internalOhm, kMinOhm);
  double current = 0.0;
  bool overload = false;
  switch (demand.draw) {
    case SimDraw::None:
      break;
    case SimDraw::Current:
      current = std::max(demand.level, 0.0);
      break;
    case SimDraw::Resistance:
      current = demand.level > 0.0 ? e / (demand.level + r) : e / r;
      break;
    case SimDraw::Voltage:
      current = demand.level < e ? (e - demand.level) / r : 0.0;
      break;
    case SimDraw::Power: {
      const double p = std::max(demand.level, 0.0);
      const double disc = e * e - 4.0 * r * p;
      if (disc < 0.0) {
        overload = true;
        current = p / std::max(e, kMinOhm);
      } else {
        current = (e - std::sqrt(disc)) / (2.0 * r);
      }
      break;
    }
    case SimDraw::Short:
      current = e / (r + kShortOhm);
      break;
  }
  if (demand.cvFloor > 0.0 && (demand.draw == SimDraw::Current || demand.draw == SimDraw::Power)) {
    const double cvCurrent = demand.cvFloor < e ? (e - demand.cvFloor) / r : 0.0;
    if (cvCurrent < current) {
      current = cvCurrent;
      overload = false;
    }
  }
  current = std::min(current, loadMaxA);
  const double v = e - current * r;
  if (v < 0.0) {
    overload = true;
  }
  if (params_.currentLimitA > 0.0 && current > params_.currentLimitA + kTolerance) {
    overload = true;
  }
  if (params_.powerLimitW > 0.0 && v * current > params_.powerLimitW + kTolerance) {
    overload = true;
  }
  if (overload) {
    // A battery's protection opens; a supply folds back into its current limit.
    double held = 0.0;
    if (!battery && params_.currentLimitA > 0.0) {
      held = std::min(current, params_.currentLimitA);
    }
    return {0.0, held, true};
  }
  return {v, current, false};
}

void SimSource::Drain(const SimReading& reading, double hours) {
  drawnAh_ += reading.current * hours;
  drawnWh_ += reading.current * reading.voltage * hours;
}

}  // namespace kv
