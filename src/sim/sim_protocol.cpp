// The load's command language: which lines it knows and what each does.
#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "sim/sim_values.h"
#include "sim/simulated_load.h"

namespace kv {

struct SimProtocol {
  using Outcome = SimulatedLoad::Outcome;

  // One received line taken apart: "BATT:CC2 1.5" is keyword "BATT:CC",
  // index 2, value "1.5".
  struct Line {
    std::string_view keyword;
    int index = -1;
    bool hasValue = false;
    std::string_view value;
  };

  enum class Range { NonNegative, Positive };

  static Outcome Fail(std::string reason) { return {std::nullopt, std::move(reason)}; }
  static Outcome Done() { return {}; }
  static Outcome Reply(std::string text) { return {std::move(text), {}}; }

  static Outcome NoValue(const Line& l) { return l.hasValue ? Fail("unexpected value") : Done(); }

  // Reads the value into `out`; on any fault `out` keeps its old value.
  static Outcome Number(const Line& l, double& out, Range range = Range::NonNegative) {
    if (!l.hasValue || l.value.empty()) {
      return Fail("missing value");
    }
    const auto v = ParseSimNumber(l.value);
    if (!v) {
      return Fail("bad value");
    }
    if (*v < 0.0 || (range == Range::Positive && *v <= 0.0)) {
      return Fail("value out of range");
    }
    out = *v;
    return Done();
  }

  static Outcome Integer(const Line& l, int& out, int max) {
    if (!l.hasValue || l.value.empty()) {
      return Fail("missing value");
    }
    const auto v = ParseSimInteger(l.value);
    if (!v) {
      return Fail("bad value");
    }
    if (*v > max) {
      return Fail("value out of range");
    }
    out = *v;
    return Done();
  }

  // ON / OFF switches.
  static Outcome Switch(const Line& l, bool* on) {
    if (!l.hasValue || l.value.empty()) {
      return Fail("missing value");
    }
    if (l.value == "ON") {
      *on = true;
    } else if (l.value == "OFF") {
      *on = false;
    } else {
      return Fail("bad value");
    }
    return Done();
  }

  static bool InRange(int index, int lo, int hi) { return index >= lo && index <= hi; }

  static Outcome Query(SimulatedLoad& load, std::string_view q) {
    if (q == "name?") {
      return Reply(load.config_.modelText);
    }
    if (q == "MEAS:VC?") {
      const SimReading r = load.Measure();
      return Reply(FormatSimReading(r.voltage) + "," + FormatSimReading(r.current));
    }
    if (q == "TESTING?") {
      return Reply(load.Testing() ? "1" : "0");
    }
    if (q == "NG?") {
      return Reply(load.noGood_ ? "1" : "0");
    }
    if (q == "OCP?") {
      return Reply(FormatSimReading(load.ocpResult_));
    }
    if (q == "OPP?") {
      return Reply(FormatSimReading(load.oppResult_));
    }
    if (q == "BATT:RVOLT?") {
      const bool running =
          load.program_ == SimProgram::Ramp || load.program_ == SimProgram::CycleLife;
      return Reply(FormatSimReading(running ? load.Measure().voltage : load.restVoltage_));
    }
    return Fail("unknown query");
  }

  static Outcome Levels(SimulatedLoad& load, const Line& l, SimLoadMode mode, bool high) {
    SimLevels& lv = load.settings_.levels[static_cast<std::size_t>(mode)];
    // Zero ohm is no resistance setting a load can hold.
    const Range range = mode == SimLoadMode::CR ? Range::Positive : Range::NonNegative;
    return Number(l, high ? lv.high : lv.low, range);
  }

  static Outcome Indexed(SimulatedLoad& load, const Line& l) {
    SimSettings& s = load.settings_;
    const auto i = static_cast<std::size_t>(l.index);
    if (l.keyword == "BATT:CC") {
      return InRange(l.index, 0, kSimRampSteps) ? Number(l, s.rampCurrent[i])
                                                : Fail("step number out of range");
    }
    if (l.keyword == "BATT:DTIME") {
      return InRange(l.index, 1, kSimRampSteps) ? Number(l, s.rampTimeS[i])
                                                : Fail("step number out of range");
    }
    if (l.keyword == "BATT:CCH" || l.keyword == "BATT:CCL" || l.keyword == "BATT:TH" ||
        l.keyword == "BATT:TL") {
      if (!InRange(l.index, 1, kSimCycleRows)) {
        return Fail("cycle row out of range");
      }
      SimCycleRow& row = s.cycle[i - 1];
      double* field = l.keyword == "BATT:CCH"   ? &row.highA
                      : l.keyword == "BATT:CCL" ? &row.lowA
                      : l.keyword == "BATT:TH"  ? &row.highS
                                                : &row.lowS;
      Outcome o = Number(l, *field);
      if (o.error.empty()) {
        s.cycleCursor = l.index;
        s.cycleRows = std::max(s.cycleRows, l.index);
      }
      return o;
    }
    if (l.keyword == "SEQLD:CC" || l.keyword == "SEQLD:CP" || l.keyword == "SEQLD:TIME") {
      if (!InRange(l.index, 0, kSimSequenceSteps - 1)) {
        return Fail("sequence step out of range");
      }
      auto& list = l.keyword == "SEQLD:CC"   ? s.sequenceCc
                   : l.keyword == "SEQLD:CP" ? s.sequenceCp
                                             : s.sequenceTimeMs;
      return Number(l, list[i]);
    }
    return Fail("unknown command");
  }

  static Outcome Command(SimulatedLoad& load, const Line& l) {
    SimSettings& s = load.settings_;
    const std::string_view k = l.keyword;
    bool on = false;

    if (k == "REM") {
      Outcome o = NoValue(l);
      if (o.error.empty()) {
        s.remote = true;
      }
      return o;
    }
    if (k == "LOAD" || k == "SHORT" || k == "DYN" || k == "NGENABLE" || k == "LIM:ADDCV" ||
        k == "BATT:TEST" || k == "BATT:RAMP:CC" || k == "BATT:DYN" || k == "SEQLD:TEST") {
      Outcome o = Switch(l, &on);
      if (!o.error.empty()) {
        return o;
      }
      if (k == "LOAD") {
        on ? load.LoadOn() : load.LoadOff();
      } else if (k == "SHORT") {
        load.shortOn_ = on;
      } else if (k == "DYN") {
        load.dynamicOn_ = on;
        load.dynamicStartMs_ = load.nowMs_;
      } else if (k == "NGENABLE") {
        s.ngEnable = on;
      } else if (k == "LIM:ADDCV") {
        s.addCv = on;
      } else if (k == "BATT:TEST") {
        if (on) {
          load.batteryArmed_ = true;
          load.StartBatteryTestIfReady();
        } else {
          if (load.program_ == SimProgram::BatteryTest) {
            load.EndProgram();
          }
          load.batteryArmed_ = false;
        }
      } else {
        const SimProgram p = k == "BATT:RAMP:CC" ? SimProgram::Ramp
                             : k == "BATT:DYN"   ? SimProgram::CycleLife
                                                 : SimProgram::Sequence;
        if (on) {
          load.StartProgram(p);
        } else if (load.program_ == p) {
          load.EndProgram();
        }
      }
      return o;
    }
    if (k == "START") {
      Outcome o = NoValue(l);
      if (!o.error.empty()) {
        return o;
      }
      if (s.testConfig == SimSweepKind::None) {
        return Fail("START with no test configured (TCONFIG)");
      }
      load.StartProgram(s.testConfig == SimSweepKind::Ocp ? SimProgram::Ocp : SimProgram::Opp);
      return o;
    }
    if (k == "STOP") {
      Outcome o = NoValue(l);
      if (o.error.empty() &&
          (load.program_ == SimProgram::Ocp || load.program_ == SimProgram::Opp)) {
        load.EndProgram();
      }
      return o;
    }
    if (k == "TCONFIG") {
      if (!l.hasValue || l.value.empty()) {
        return Fail("missing value");
      }
      if (l.value == "OCP") {
        s.testConfig = SimSweepKind::Ocp;
      } else if (l.value == "OPP") {
        s.testConfig = SimSweepKind::Opp;
      } else {
        return Fail("bad value");
      }
      return Done();
    }
    if (k == "MODE") {
      static constexpr std::array<std::string_view, 4> kModes = {"CC", "CR", "CV", "CP"};
      if (!l.hasValue || l.value.empty()) {
        return Fail("missing value");
      }
      for (std::size_t m = 0; m < kModes.size(); ++m) {
        if (l.value == kModes[m]) {
          s.mode = static_cast<SimLoadMode>(m);
          return Done();
        }
      }
      return Fail("bad value");
    }
    if (k == "CC" && l.hasValue) {
      // Current range: "CC R1" to "CC R3".
      if (l.value.size() == 2 && l.value[0] == 'R' && l.value[1] >= '1' && l.value[1] <= '3') {
        s.ccRange = l.value[1] - '0';
        return Done();
      }
      return Fail("bad value");
    }
    static constexpr std::array<std::pair<std::string_view, SimLoadMode>, 4> kLevelModes = {{
        {"CC", SimLoadMode::CC},
        {"CR", SimLoadMode::CR},
        {"CV", SimLoadMode::CV},
        {"CP", SimLoadMode::CP},
    }};
    for (const auto& [name, mode] : kLevelModes) {
      if (k.substr(0, name.size()) == name) {
        const std::string_view rest = k.substr(name.size());
        if (rest == ":HIGH" || rest == ":LOW") {
          return Levels(load, l, mode, rest == ":HIGH");
        }
      }
    }

    struct Field {
      std::string_view key;
      double SimSettings::*member;
    };
    static constexpr std::array<Field, 17> kFields = {{
        {"PERD:HIGH", &SimSettings::periodHighMs},
        {"PERD:LOW", &SimSettings::periodLowMs},
        {"RISE", &SimSettings::rise},
        {"FALL", &SimSettings::fall},
        {"VTH", &SimSettings::vth},
        {"IH", &SimSettings::ih},
        {"IL", &SimSettings::il},
        {"WH", &SimSettings::wh},
        {"WL", &SimSettings::wl},
        {"LIM:ADDCV:VOLT", &SimSettings::addCvVolt},
        {"BATT:CURR", &SimSettings::batteryCurrent},
        {"BATT:POWER", &SimSettings::batteryPower},
        {"BATT:UVP", &SimSettings::batteryUvp},
        {"BATT:TIME", &SimSettings::batteryTimeS},
        {"BATT:AH", &SimSettings::batteryAh},
        {"BATT:WH", &SimSettings::batteryWh},
        {"LDOFFV", &SimSettings::loadOffV},
    }};
    for (const Field& f : kFields) {
      if (k == f.key) {
        Outcome o = Number(l, s.*f.member);
        if (o.error.empty() && (k == "BATT:CURR" || k == "BATT:POWER")) {
          s.batteryByPower = k == "BATT:POWER";
        }
        return o;
      }
    }

    struct SweepField {
      std::string_view key;
      SimSweep SimSettings::*sweep;
      double SimSweep::*member;
    };
    static constexpr std::array<SweepField, 6> kSweepFields = {{
        {"OCP:START", &SimSettings::ocp, &SimSweep::start},
        {"OCP:STEP", &SimSettings::ocp, &SimSweep::step},
        {"OCP:STOP", &SimSettings::ocp, &SimSweep::stop},
        {"OPP:START", &SimSettings::opp, &SimSweep::start},
        {"OPP:STEP", &SimSettings::opp, &SimSweep::step},
        {"OPP:STOP", &SimSettings::opp, &SimSweep::stop},
    }};
    for (const SweepField& f : kSweepFields) {
      if (k == f.key) {
        return Number(l, (s.*f.sweep).*f.member);
      }
    }

    if (k == "BATT:STEP") {
      return Integer(l, s.rampSteps, kSimRampSteps);
    }
    if (k == "BATT:REPEAT") {
      return Integer(l, s.repeat, 65535);
    }
    if (k == "BATT:CYCLE") {
      return Integer(l, s.cycle[static_cast<std::size_t>(s.cycleCursor - 1)].cycles, 100000);
    }
    if (k == "SEQLD:TOTSTEP") {
      return Integer(l, s.sequenceSteps, kSimSequenceSteps);
    }
    if (k == "SEQLD:TYPE") {
      if (!l.hasValue || l.value.empty()) {
        return Fail("missing value");
      }
      if (l.value == "CC") {
        s.sequenceType = SimSequenceType::CC;
      } else if (l.value == "CP") {
        s.sequenceType = SimSequenceType::CP;
      } else {
        return Fail("bad value");
      }
      return Done();
    }
    return Fail("unknown command");
  }
};

SimulatedLoad::Outcome SimulatedLoad::Dispatch(std::string_view line) {
  if (line.empty()) {
    return SimProtocol::Fail("empty line");
  }
  if (line.back() == '?') {
    return SimProtocol::Query(*this, line);
  }
  SimProtocol::Line l;
  const std::size_t blank = line.find(' ');
  l.keyword = line.substr(0, blank);
  if (blank != std::string_view::npos) {
    l.hasValue = true;
    l.value = line.substr(blank + 1);
  }
  // Numbered keywords such as BATT:CC2 or SEQLD:TIME0.
  std::size_t digits = l.keyword.size();
  while (digits > 0 && l.keyword[digits - 1] >= '0' && l.keyword[digits - 1] <= '9') {
    --digits;
  }
  if (digits < l.keyword.size() && digits > 0) {
    const auto index = ParseSimInteger(l.keyword.substr(digits), 2);
    if (!index) {
      return SimProtocol::Fail("unknown command");
    }
    l.index = *index;
    l.keyword = l.keyword.substr(0, digits);
    return SimProtocol::Indexed(*this, l);
  }
  return SimProtocol::Command(*this, l);
}

}  // namespace kv
