#pragma once
// Everything a step list can program into the load, as the load holds it.

#include <array>

namespace kv {

enum class SimLoadMode { CC = 0, CR, CV, CP };
enum class SimSweepKind { None, Ocp, Opp };
enum class SimSequenceType { CC, CP };

struct SimLevels {
  double high = 0.0;
  double low = 0.0;
};

struct SimSweep {
  double start = 0.0;
  double step = 0.0;
  double stop = 0.0;
};

struct SimCycleRow {
  double highA = 0.0;
  double lowA = 0.0;
  /// Seconds.
  double highS = 0.0;
  double lowS = 0.0;
  int cycles = 0;
};

inline constexpr int kSimRampSteps = 9;
inline constexpr int kSimCycleRows = 3;
inline constexpr int kSimSequenceSteps = 16;

struct SimSettings {
  bool remote = false;
  SimLoadMode mode = SimLoadMode::CC;
  /// By SimLoadMode: CC in A, CR in Ohm, CV in V, CP in W.
  std::array<SimLevels, 4> levels{};
  /// Dynamic periods, ms; slew rates in mA/us (kept, not modelled).
  double periodHighMs = 0.0;
  double periodLowMs = 0.0;
  double rise = 0.0;
  double fall = 0.0;

  SimSweepKind testConfig = SimSweepKind::None;
  SimSweep ocp;
  SimSweep opp;
  /// Trip threshold of OCP/OPP sweeps and of the sequence test.
  double vth = 0.0;
  double ih = 0.0;
  double il = 0.0;
  double wh = 0.0;
  double wl = 0.0;
  bool ngEnable = false;

  bool addCv = false;
  double addCvVolt = 0.0;

  /// Battery discharge test: CC when the last level given was BATT:CURR.
  bool batteryByPower = false;
  double batteryCurrent = 0.0;
  double batteryPower = 0.0;
  double batteryUvp = 0.0;
  double batteryTimeS = 0.0;
  double batteryAh = 0.0;
  double batteryWh = 0.0;

  int ccRange = 0;
  int rampSteps = 0;
  /// Index 0 is the start current, 1..9 the ramp steps.
  std::array<double, kSimRampSteps + 1> rampCurrent{};
  /// Seconds, index 1..9.
  std::array<double, kSimRampSteps + 1> rampTimeS{};
  double loadOffV = 0.0;
  int repeat = 0;

  /// Rows 1..3 at index 0..2.
  std::array<SimCycleRow, kSimCycleRows> cycle{};
  /// Highest cycle row programmed since the last cycle test started.
  int cycleRows = 0;
  /// Row that the next "BATT:CYCLE" line belongs to (it carries no number).
  int cycleCursor = 1;

  SimSequenceType sequenceType = SimSequenceType::CC;
  int sequenceSteps = 0;
  std::array<double, kSimSequenceSteps> sequenceCc{};
  std::array<double, kSimSequenceSteps> sequenceCp{};
  /// ms.
  std::array<double, kSimSequenceSteps> sequenceTimeMs{};
};

}  // namespace kv
