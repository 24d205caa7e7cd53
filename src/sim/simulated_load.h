#pragma once
// A simulated electronic load behind the load's own text protocol. It takes
// one line at a time, with the model time at which it arrived, and answers
// queries with one reply line; commands change its state and answer nothing.
// Time moves only when the caller says so, so tests are deterministic.
//
// It is strict on purpose: a line it does not know (the language is
// case-sensitive), or a value it cannot read, changes nothing and is recorded
// as an error, so a program that sends a wrong line is caught rather than
// silently served. An unknown query gets no reply, as on a real line.
//
// The tests it runs by itself (TESTING? answers 1 while one runs; each ends by
// turning the input off):
// - OCP/OPP sweep ("START" after "TCONFIG"): level START, START+STEP, ... up
//   to STOP, one level per sweepStepMs; it trips at the first level that pulls
//   the voltage below VTH. OCP?/OPP? give the trip level (0 when none), NG? 1
//   when NGENABLE is on and that level lies outside IL..IH (WL..WH).
// - Battery test ("BATT:TEST ON", running once the input is on): BATT:CURR or
//   BATT:POWER, whichever came last, until BATT:UVP, BATT:TIME (s) or
//   BATT:AH/BATT:WH (0 = no limit).
// - Ramp ("BATT:RAMP:CC ON"): from BATT:CC0, step i ramps linearly to BATT:CCi
//   over BATT:DTIMEi seconds, BATT:REPEAT times; it ends early when the voltage
//   falls below LDOFFV or BATT:UVP. BATT:RVOLT? gives the voltage at its end.
// - Cycle life ("BATT:DYN ON"): each programmed row alternates BATT:CCHi for
//   BATT:THi seconds and BATT:CCLi for BATT:TLi seconds, BATT:CYCLE times (the
//   CYCLE line belongs to the row last addressed); the whole BATT:REPEAT
//   times; ends as the ramp does.
// - Sequence ("SEQLD:TEST ON"): SEQLD:CCk or SEQLD:CPk (by SEQLD:TYPE) for
//   SEQLD:TIMEk ms, k = 0 .. TOTSTEP-1, once; ends early below VTH.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_settings.h"
#include "sim/sim_source.h"

namespace kv {

/// The default model text: it offers all 19 functions.
inline constexpr std::string_view kSimDefaultModel = "KVLOAD-SIM 100G";

struct SimLoadConfig {
  std::string modelText{kSimDefaultModel};
  SimSourceParams source;
  /// Dwell on each level of an OCP/OPP sweep.
  int sweepStepMs = 100;
  /// The load's own current rating.
  double maxCurrentA = 60.0;
  /// Keep the log in memory (a long-running server streams it instead).
  bool keepLog = true;
};

enum class SimLogKind { Received, Replied, Rejected };

struct SimLogEntry {
  std::int64_t ms = 0;
  SimLogKind kind = SimLogKind::Received;
  /// The line received, the reply sent, or for a rejection the reason.
  std::string text;
};

struct SimError {
  std::int64_t ms = 0;
  std::string line;
  std::string reason;
};

/// One log line for people and tests: "12.345\tRX\tLOAD ON" (TX replies,
/// ERR rejections).
std::string FormatSimLogEntry(const SimLogEntry& entry);

/// Which test the load is running by itself.
enum class SimProgram { None, Ocp, Opp, BatteryTest, Ramp, CycleLife, Sequence };

class SimulatedLoad {
 public:
  explicit SimulatedLoad(SimLoadConfig config = {});

  /// Handles one line (without terminator) arriving at model time `nowMs`.
  /// A query gives its reply line, a command or a rejected line nothing.
  std::optional<std::string> HandleLine(std::string_view line, std::int64_t nowMs);
  /// Moves model time forward (never back) and lets running tests proceed.
  void AdvanceTo(std::int64_t nowMs);
  std::int64_t NowMs() const { return nowMs_; }

  const std::string& ModelText() const { return config_.modelText; }
  void SetModelText(std::string text) { config_.modelText = std::move(text); }
  const SimLoadConfig& Config() const { return config_; }

  // What the load does now.
  const SimSettings& Settings() const { return settings_; }
  bool InputOn() const { return inputOn_; }
  bool ShortOn() const { return shortOn_; }
  bool DynamicOn() const { return dynamicOn_; }
  bool BatteryTestArmed() const { return batteryArmed_; }
  SimProgram Program() const { return program_; }
  bool Testing() const { return program_ != SimProgram::None; }
  /// Voltage and current at the terminals now.
  SimReading Measure() const;
  const SimSource& Source() const { return source_; }
  /// Last sweep results as OCP? / OPP? / NG? report them.
  double OcpResult() const { return ocpResult_; }
  double OppResult() const { return oppResult_; }
  bool NoGood() const { return noGood_; }

  // What it was told.
  const std::vector<SimLogEntry>& Log() const { return log_; }
  /// The lines received, in order, without times.
  std::vector<std::string> ReceivedLines() const;
  const std::vector<SimError>& Errors() const { return errors_; }
  int ErrorCount() const { return errorCount_; }
  int LineCount() const { return lineCount_; }
  /// Called with every log entry as it is made (the server writes its file).
  void SetLogListener(std::function<void(const SimLogEntry&)> listener) {
    listener_ = std::move(listener);
  }

 private:
  friend struct SimProtocol;

  // Outcome of one line: a reply, nothing, or an error reason.
  struct Outcome {
    std::optional<std::string> reply;
    std::string error;
  };

  Outcome Dispatch(std::string_view line);
  void Record(SimLogKind kind, std::string text);

  // Switching.
  void LoadOn();
  void LoadOff();
  void StartProgram(SimProgram program);
  void EndProgram();
  void StartBatteryTestIfReady();

  // Time.
  SimDemand DemandAt(std::int64_t ms) const;
  SimDemand StaticDemand(std::int64_t ms) const;
  std::int64_t NextEventAfter(std::int64_t ms) const;
  void CheckProgram();
  double SweepLevel(std::int64_t ms, bool* beyondStop) const;
  void FinishSweep(double result);
  void BuildTimeline();
  /// Level of a ramp, cycle-life or sequence test at `ms`; `next` gets the
  /// next change of level, `done` whether the test has run its course.
  double TimelineAt(std::int64_t ms, bool* done, std::int64_t* next) const;

  SimLoadConfig config_;
  SimSource source_;
  SimSettings settings_;
  std::int64_t nowMs_ = 0;

  bool inputOn_ = false;
  bool shortOn_ = false;
  bool dynamicOn_ = false;
  std::int64_t dynamicStartMs_ = 0;
  bool batteryArmed_ = false;

  SimProgram program_ = SimProgram::None;
  std::int64_t programStartMs_ = 0;
  // What a running test was started with; later programming does not move it.
  SimSettings programSettings_;
  struct Segment {
    double endMs;  // from the start of one repetition
    double lengthMs;
    double from;
    double to;
  };
  std::vector<Segment> timeline_;
  double timelineMs_ = 0.0;
  int timelineRepeats_ = 1;
  double programAh_ = 0.0;
  double programWh_ = 0.0;

  double ocpResult_ = 0.0;
  double oppResult_ = 0.0;
  bool noGood_ = false;
  double restVoltage_ = 0.0;

  std::vector<SimLogEntry> log_;
  std::vector<SimError> errors_;
  int errorCount_ = 0;
  int lineCount_ = 0;
  std::function<void(const SimLogEntry&)> listener_;
};

}  // namespace kv
