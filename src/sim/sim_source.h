#pragma once
// What sits on the load's input: a battery whose open-circuit voltage falls
// with its state of charge, or a bench supply. Either may carry a current and
// a power limit (a protection circuit, a supply's limits); asked for more, its
// output collapses, which is what an OCP or OPP sweep looks for.

namespace kv {

enum class SimSourceKind { Battery, Supply };

struct SimSourceParams {
  SimSourceKind kind = SimSourceKind::Battery;
  /// Battery: open-circuit voltage when full. Supply: its output voltage.
  double fullVoltage = 4.2;
  /// Battery: open-circuit voltage when empty.
  double emptyVoltage = 2.5;
  double capacityAh = 0.05;
  /// Battery state of charge at start, 0 to 1.
  double initialSoc = 1.0;
  double internalOhm = 0.05;
  /// 0 means no limit.
  double currentLimitA = 5.0;
  /// 0 means no limit.
  double powerLimitW = 0.0;
};

/// How the load draws from the source at one moment.
enum class SimDraw { None, Current, Resistance, Voltage, Power, Short };

struct SimDemand {
  SimDraw draw = SimDraw::None;
  double level = 0.0;
  /// Constant-voltage floor added to a CC or CP draw; 0 means none.
  double cvFloor = 0.0;
};

struct SimReading {
  double voltage = 0.0;
  double current = 0.0;
  /// The source could not deliver (overload, empty battery).
  bool collapsed = false;
};

class SimSource {
 public:
  explicit SimSource(const SimSourceParams& params);

  const SimSourceParams& Params() const { return params_; }
  double OpenCircuitVoltage() const;
  /// 0 to 1; a supply is always full.
  double StateOfCharge() const;
  double DrawnAh() const { return drawnAh_; }
  double DrawnWh() const { return drawnWh_; }

  /// The operating point for `demand`; the load never sinks more than `loadMaxA`.
  SimReading Solve(const SimDemand& demand, double loadMaxA) const;
  /// Takes `reading` for `hours` out of the source.
  void Drain(const SimReading& reading, double hours);

 private:
  SimSourceParams params_;
  double drawnAh_ = 0.0;
  double drawnWh_ = 0.0;
};

}  // namespace kv
