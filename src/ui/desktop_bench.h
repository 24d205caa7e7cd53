#pragma once
// The desktop program's bench: the settings file read once, the link it
// names (or the simulated load inside the program) and the station on it.
// Built before the main window, which only borrows it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/instrument_link.h"
#include "link/link_settings.h"
#include "link/message_sink.h"
#include "base/clock.h"

namespace kv {

class LinkRouter;
class SimulatedLoad;
class Station;

struct DesktopBenchOptions {
  std::string iniPath;      // "" : the KV26.INI the desktop program uses
  bool simulated = false;   // the in-process simulated load instead of the configured link
  std::string simModel;     // "" : the simulator's default model text
  std::string gpibLibrary;  // "" : the usual NI-488.2 library names
  std::function<LinkSettings(LinkSettings)> adjust;  // overrides (may be empty)
};

/// Owns the clock, the link (LinkRouter or the simulated load with its
/// link) and the Station, in that order of construction.
class DesktopBench {
 public:
  static std::unique_ptr<DesktopBench> Open(const DesktopBenchOptions& options, MessageSink& sink);
  ~DesktopBench();
  DesktopBench(const DesktopBench&) = delete;
  DesktopBench& operator=(const DesktopBench&) = delete;

  Station& GetStation() { return *station_; }
  /// Null when simulated.
  LinkRouter* Router() { return router_; }
  /// Null unless simulated.
  SimulatedLoad* SimLoad() { return simLoad_.get(); }
  const std::string& IniPath() const { return iniPath_; }
  const LinkSettings& Settings() const { return settings_; }
  /// Settings-file warnings, to show once.
  const std::vector<std::string>& Warnings() const { return warnings_; }
  bool Simulated() const { return simLoad_ != nullptr; }
  /// New settings for the next connection; never during a transaction.
  void ApplySettings(const LinkSettings& settings);

 private:
  DesktopBench() = default;

  // Destroyed in reverse: the station's timers go before the link, the link
  // before the load and the clock it reads.
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<SimulatedLoad> simLoad_;
  std::unique_ptr<InstrumentLink> link_;
  LinkRouter* router_ = nullptr;
  std::unique_ptr<Station> station_;
  std::string iniPath_;
  LinkSettings settings_;
  std::vector<std::string> warnings_;
};

}  // namespace kv
