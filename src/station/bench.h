#pragma once
// The live bench both programs stand on: the settings file, the link it
// selects (or the in-process simulated load), the watch over that link and
// the station that runs on it. One place decides where KV26.INI lives and how
// a link is built from it, so the desktop program and kvload-run cannot drift
// apart on either.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/run_identity.h"
#include "link/link_settings.h"
#include "link/link_watch.h"
#include "link/message_sink.h"

namespace kv {

class Clock;
class InstrumentLink;
class LinkRouter;
class SimulatedLoad;
class Station;

/// The KV26.INI both programs use: beside the executable when one is there or
/// that folder is writable, otherwise <GenericConfigLocation>/kvload.
std::string DefaultIniPath();

/// The bench's name in the files a run leaves: [System] BenchName of the
/// settings file, or the host's name when it names none.
std::string BenchName(const std::string& iniPath);

/// The link as the files of a run name it: a mode and an address a script
/// can compare between runs.
void NameLink(const LinkSettings& settings, RunIdentity& identity);

struct BenchOptions {
  std::string iniPath;      // "" : DefaultIniPath()
  bool simulated = false;   // the in-process simulated load instead of the configured link
  std::string simModel;     // "" : the simulator's default model text
  std::string gpibLibrary;  // "" : the usual NI-488.2 library names
  std::function<LinkSettings(LinkSettings)> adjust;  // command-line overrides (may be empty)
};

/// Owns the clock, the link (LinkRouter or SimulatedLink with its
/// SimulatedLoad), the LinkWatch decorator and the Station, in that order of
/// construction. Nothing is opened here: the link connects on the station's
/// first transaction. The link's messages pass through the bench on their way
/// to the given sink, so that a connection lost during a run reaches the
/// station (Station::OnLinkLost) in both programs.
class Bench {
 public:
  /// Never null. Settings-file problems do not stop the bench; they are kept
  /// in Warnings(). `sink` shows the link's messages and must outlive the bench.
  static std::unique_ptr<Bench> Open(const BenchOptions& options, MessageSink& sink);
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  Station& GetStation();
  LinkWatch& Watch();
  LinkRouter* Router();  // null when simulated
  const std::string& IniPath() const;
  const LinkSettings& Settings() const;
  const std::vector<std::string>& Warnings() const;  // settings-file warnings, to show once
  bool Simulated() const;
  /// The simulated load's model text; "" on a real link.
  std::string SimulatedModel() const;
  /// The simulated load itself (tests look at its input); null on a real link.
  SimulatedLoad* SimLoad() { return simLoad_.get(); }
  /// After the connection dialog saved; never during a transaction, since the
  /// router's transports would change under a waiting query.
  void ApplySettings(const LinkSettings& settings);

 private:
  class LinkLossSink;
  Bench();

  std::string iniPath_;
  LinkSettings settings_;
  std::vector<std::string> warnings_;
  std::unique_ptr<LinkLossSink> sink_;  // before the link that writes to it
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<SimulatedLoad> simLoad_;
  std::unique_ptr<InstrumentLink> link_;
  LinkRouter* router_ = nullptr;
  std::unique_ptr<LinkWatch> watch_;
  std::unique_ptr<Station> station_;
};

}  // namespace kv
