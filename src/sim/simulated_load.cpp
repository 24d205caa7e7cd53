#include "sim/simulated_load.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kv {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
// Longest stretch integrated at one operating point: short enough that a
// voltage limit is seen within a tenth of a second.
constexpr std::int64_t kMaxStepMs = 100;
// A client that sends nothing but junk must not grow memory without bound.
constexpr std::size_t kMaxKeptErrors = 10000;
constexpr double kLevelTolerance = 1e-9;

std::int64_t CeilMs(double ms) {
  if (ms >= 9.0e18) {
    return kNever;
  }
  return static_cast<std::int64_t>(std::ceil(ms));
}

const char* KindTag(SimLogKind kind) {
  switch (kind) {
    case SimLogKind::Received:
      return "RX";
    case SimLogKind::Replied:
      return "TX";
    case SimLogKind::Rejected:
      return "ERR";
  }
  return "?";
}

}  // namespace

std::string FormatSimLogEntry(const SimLogEntry& entry) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%lld.%03lld", static_cast<long long>(entry.ms / 1000),
                static_cast<long long>(entry.ms % 1000));
  std::string out = stamp;
  out += '\t';
  out += KindTag(entry.kind);
  out += '\t';
  out += entry.text;
  return out;
}

SimulatedLoad::SimulatedLoad(SimLoadConfig config)
    : config_(std::move(config)), source_(config_.source) {
  config_.sweepStepMs = std::max(config_.sweepStepMs, 1);
}

std::optional<std::string> SimulatedLoad::HandleLine(std::string_view line, std::int64_t nowMs) {
  AdvanceTo(nowMs);
  ++lineCount_;
  Record(SimLogKind::Received, std::string(line));
  Outcome outcome = Dispatch(line);
  if (!outcome.error.empty()) {
    ++errorCount_;
    if (errors_.size() < kMaxKeptErrors) {
      errors_.push_back({nowMs_, std::string(line), outcome.error});
    }
    Record(SimLogKind::Rejected, outcome.error + ": " + std::string(line));
    return std::nullopt;
  }
  // A command may have started or ended a test that has to react at once.
  CheckProgram();
  if (outcome.reply) {
    Record(SimLogKind::Replied, *outcome.reply);
  }
  return outcome.reply;
}

void SimulatedLoad::Record(SimLogKind kind, std::string text) {
  SimLogEntry entry{nowMs_, kind, std::move(text)};
  if (listener_) {
    listener_(entry);
  }
  if (config_.keepLog) {
    log_.push_back(std::move(entry));
  }
}

std::vector<std::string> SimulatedLoad::ReceivedLines() const {
  std::vector<std::string> lines;
  for (const SimLogEntry& e : log_) {
    if (e.kind == SimLogKind::Received) {
      lines.push_back(e.text);
    }
  }
  return lines;
}

// ---- Switching -------------------------------------------------------------

void SimulatedLoad::LoadOn() {
  inputOn_ = true;
  StartBatteryTestIfReady();
}

void SimulatedLoad::LoadOff() {
  if (program_ != SimProgram::None) {
    EndProgram();
  }
  inputOn_ = false;
  // Turning the input off also ends a short and leaves battery-test mode, so
  // that Stop leaves nothing drawing from the source.
  shortOn_ = false;
  batteryArmed_ = false;
}

void SimulatedLoad::StartBatteryTestIfReady() {
  if (batteryArmed_ && inputOn_ && program_ != SimProgram::BatteryTest) {
    StartProgram(SimProgram::BatteryTest);
  }
}

void SimulatedLoad::StartProgram(SimProgram program) {
  if (program_ != SimProgram::None) {
    EndProgram();
  }
  program_ = program;
  programStartMs_ = nowMs_;
  programSettings_ = settings_;
  programAh_ = 0.0;
  programWh_ = 0.0;
  inputOn_ = true;
  if (program == SimProgram::BatteryTest) {
    batteryArmed_ = true;
  }
  BuildTimeline();
  if (program == SimProgram::CycleLife) {
    // The next cycle table is programmed from row 1 again.
    settings_.cycleRows = 0;
    settings_.cycleCursor = 1;
  }
}

void SimulatedLoad::EndProgram() {
  if (program_ == SimProgram::Ramp || program_ == SimProgram::CycleLife) {
    restVoltage_ = Measure().voltage;
  }
  if (program_ == SimProgram::BatteryTest) {
    batteryArmed_ = false;
  }
  program_ = SimProgram::None;
  inputOn_ = false;
}

void SimulatedLoad::FinishSweep(double result) {
  const bool opp = program_ == SimProgram::Opp;
  const double lo = opp ? programSettings_.wl : programSettings_.il;
  const double hi = opp ? programSettings_.wh : programSettings_.ih;
  (opp ? oppResult_ : ocpResult_) = result;
  noGood_ = programSettings_.ngEnable &&
            !(result >= lo - kLevelTolerance && result <= hi + kLevelTolerance);
  EndProgram();
}

// ---- Timelines of the tests the load runs by itself ------------------------

void SimulatedLoad::BuildTimeline() {
  timeline_.clear();
  timelineRepeats_ = 1;
  const SimSettings& s = programSettings_;
  auto add = [this](double lengthMs, double from, double to) {
    if (lengthMs <= 0.0) {
      return;
    }
    const double end = (timeline_.empty() ? 0.0 : timeline_.back().endMs) + lengthMs;
    timeline_.push_back({end, lengthMs, from, to});
  };
  switch (program_) {
    case SimProgram::Ramp:
      // Step 0 is the start current; step i ramps from step i-1 to step i.
      for (int i = 1; i <= s.rampSteps; ++i) {
        add(s.rampTimeS[static_cast<std::size_t>(i)] * 1000.0,
            s.rampCurrent[static_cast<std::size_t>(i - 1)],
            s.rampCurrent[static_cast<std::size_t>(i)]);
      }
      timelineRepeats_ = std::max(s.repeat, 1);
      break;
    case SimProgram::CycleLife:
      for (int row = 0; row < s.cycleRows; ++row) {
        const SimCycleRow& c = s.cycle[static_cast<std::size_t>(row)];
        for (int n = 0; n < c.cycles; ++n) {
          add(c.highS * 1000.0, c.highA, c.highA);
          add(c.lowS * 1000.0, c.lowA, c.lowA);
        }
      }
      timelineRepeats_ = std::max(s.repeat, 1);
      break;
    case SimProgram::Sequence: {
      const auto& levels = s.sequenceType == SimSequenceType::CC ? s.sequenceCc : s.sequenceCp;
      for (int k = 0; k < s.sequenceSteps; ++k) {
        const auto i = static_cast<std::size_t>(k);
        add(s.sequenceTimeMs[i], levels[i], levels[i]);
      }
      break;
    }
    default:
      break;
  }
  timelineMs_ = timeline_.empty() ? 0.0 : timeline_.back().endMs;
}

double SimulatedLoad::TimelineAt(std::int64_t ms, bool* done, std::int64_t* next) const {
  *next = kNever;
  const double elapsed = static_cast<double>(ms - programStartMs_);
  if (timeline_.empty() || elapsed >= timelineMs_ * timelineRepeats_) {
    *done = true;
    return timeline_.empty() ? 0.0 : timeline_.back().to;
  }
  *done = false;
  const double rep = std::floor(elapsed / timelineMs_);
  const double pos = elapsed - rep * timelineMs_;
  const auto it = std::upper_bound(timeline_.begin(), timeline_.end(), pos,
                                   [](double p, const Segment& s) { return p < s.endMs; });
  const Segment& seg = it == timeline_.end() ? timeline_.back() : *it;
  const double into = pos - (seg.endMs - seg.lengthMs);
  *next = programStartMs_ + CeilMs(rep * timelineMs_ + seg.endMs);
  return seg.from + (seg.to - seg.from) * std::clamp(into / seg.lengthMs, 0.0, 1.0);
}

double SimulatedLoad::SweepLevel(std::int64_t ms, bool* beyondStop) const {
  const SimSweep& sw = program_ == SimProgram::Opp ? programSettings_.opp : programSettings_.ocp;
  const std::int64_t k = (ms - programStartMs_) / config_.sweepStepMs;
  const double level = sw.start + static_cast<double>(k) * sw.step;
  *beyondStop = k > 0 && (sw.step <= 0.0 || level > sw.stop + kLevelTolerance);
  return level;
}

// ---- What the load draws ---------------------------------------------------

SimDemand SimulatedLoad::StaticDemand(std::int64_t ms) const {
  if (shortOn_) {
    return {SimDraw::Short, 0.0, 0.0};
  }
  if (!inputOn_) {
    return {};
  }
  const SimLevels& lv = settings_.levels[static_cast<std::size_t>(settings_.mode)];
  double level = lv.high;
  if (dynamicOn_) {
    const double period = settings_.periodHighMs + settings_.periodLowMs;
    if (period > 0.0) {
      const double pos = std::fmod(static_cast<double>(ms - dynamicStartMs_), period);
      level = pos < settings_.periodHighMs ? lv.high : lv.low;
    }
  }
  SimDemand d;
  d.level = level;
  switch (settings_.mode) {
    case SimLoadMode::CC:
      d.draw = SimDraw::Current;
      break;
    case SimLoadMode::CR:
      d.draw = SimDraw::Resistance;
      break;
    case SimLoadMode::CV:
      d.draw = SimDraw::Voltage;
      break;
    case SimLoadMode::CP:
      d.draw = SimDraw::Power;
      break;
  }
  if (settings_.addCv && (d.draw == SimDraw::Current || d.draw == SimDraw::Power)) {
    d.cvFloor = settings_.addCvVolt;
  }
  return d;
}

SimDemand SimulatedLoad::DemandAt(std::int64_t ms) const {
  bool flag = false;
  std::int64_t next = 0;
  switch (program_) {
    case SimProgram::None:
      return StaticDemand(ms);
    case SimProgram::Ocp:
      return {SimDraw::Current, SweepLevel(ms, &flag), 0.0};
    case SimProgram::Opp:
      return {SimDraw::Power, SweepLevel(ms, &flag), 0.0};
    case SimProgram::BatteryTest:
      return programSettings_.batteryByPower
                 ? SimDemand{SimDraw::Power, programSettings_.batteryPower, 0.0}
                 : SimDemand{SimDraw::Current, programSettings_.batteryCurrent, 0.0};
    case SimProgram::Ramp:
    case SimProgram::CycleLife:
      return {SimDraw::Current, TimelineAt(ms, &flag, &next), 0.0};
    case SimProgram::Sequence:
      return {
          programSettings_.sequenceType == SimSequenceType::CC ? SimDraw::Current : SimDraw::Power,
          TimelineAt(ms, &flag, &next), 0.0};
  }
  return {};
}

SimReading SimulatedLoad::Measure() const {
  return source_.Solve(DemandAt(nowMs_), config_.maxCurrentA);
}

// ---- Time ------------------------------------------------------------------

std::int64_t SimulatedLoad::NextEventAfter(std::int64_t ms) const {
  bool done = false;
  std::int64_t next = kNever;
  switch (program_) {
    case SimProgram::None:
      if (dynamicOn_ && inputOn_ && !shortOn_) {
        const double period = settings_.periodHighMs + settings_.periodLowMs;
        if (period > 0.0) {
          const double pos = std::fmod(static_cast<double>(ms - dynamicStartMs_), period);
          const double toEdge =
              pos < settings_.periodHighMs ? settings_.periodHighMs - pos : period - pos;
          next = ms + std::max<std::int64_t>(CeilMs(toEdge), 1);
        }
      }
      break;
    case SimProgram::Ocp:
    case SimProgram::Opp: {
      const std::int64_t k = (ms - programStartMs_) / config_.sweepStepMs;
      next = programStartMs_ + (k + 1) * config_.sweepStepMs;
      break;
    }
    case SimProgram::BatteryTest:
      if (programSettings_.batteryTimeS > 0.0) {
        next = programStartMs_ + CeilMs(programSettings_.batteryTimeS * 1000.0);
      }
      break;
    case SimProgram::Ramp:
    case SimProgram::CycleLife:
    case SimProgram::Sequence:
      TimelineAt(ms, &done, &next);
      break;
  }
  return next > ms ? next : kNever;
}

void SimulatedLoad::AdvanceTo(std::int64_t nowMs) {
  while (nowMs_ < nowMs) {
    std::int64_t next = std::min({nowMs, nowMs_ + kMaxStepMs, NextEventAfter(nowMs_)});
    next = std::max(next, nowMs_ + 1);
    const SimReading r = Measure();
    const double hours = static_cast<double>(next - nowMs_) / 3.6e6;
    source_.Drain(r, hours);
    if (program_ != SimProgram::None) {
      programAh_ += r.current * hours;
      programWh_ += r.current * r.voltage * hours;
    }
    nowMs_ = next;
    CheckProgram();
  }
}

void SimulatedLoad::CheckProgram() {
  if (program_ == SimProgram::None) {
    return;
  }
  const SimSettings& s = programSettings_;
  const double elapsedMs = static_cast<double>(nowMs_ - programStartMs_);
  switch (program_) {
    case SimProgram::None:
      return;
    case SimProgram::Ocp:
    case SimProgram::Opp: {
      bool beyond = false;
      const double level = SweepLevel(nowMs_, &beyond);
      if (beyond) {
        // Swept to the end without the source giving way: no trip level.
        FinishSweep(0.0);
      } else if (Measure().voltage < s.vth) {
        FinishSweep(level);
      }
      return;
    }
    case SimProgram::BatteryTest: {
      const double v = Measure().voltage;
      const bool byTime = s.batteryTimeS > 0.0 && elapsedMs >= s.batteryTimeS * 1000.0;
      const bool byVoltage = s.batteryUvp > 0.0 && v < s.batteryUvp;
      const bool byCapacity = s.batteryByPower ? (s.batteryWh > 0.0 && programWh_ >= s.batteryWh)
                                               : (s.batteryAh > 0.0 && programAh_ >= s.batteryAh);
      if (byTime || byVoltage || byCapacity) {
        EndProgram();
      }
      return;
    }
    case SimProgram::Ramp:
    case SimProgram::CycleLife:
    case SimProgram::Sequence: {
      bool done = false;
      std::int64_t next = 0;
      TimelineAt(nowMs_, &done, &next);
      const double v = Measure().voltage;
      const bool belowLimit =
          program_ == SimProgram::Sequence
              ? (s.vth > 0.0 && v < s.vth)
              : ((s.loadOffV > 0.0 && v < s.loadOffV) || (s.batteryUvp > 0.0 && v < s.batteryUvp));
      if (done || belowLimit) {
        EndProgram();
      }
      return;
    }
  }
}

}  // namespace kv
