#pragma once
// The command line of kvload-run, the headless runner. Parsing is separate
// from running so that every rule about what a script may pass is testable
// without a load.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_settings.h"

namespace kv {

/// Where the load is: as KV26.INI says, or as the command line overrides it.
enum class HeadlessLinkKind { FromIni, Lan, Serial, Gpib, Sim };

/// Exit status of kvload-run.
enum HeadlessExit : int {
  kExitPassed = 0,       // the list ran to its end, no FAIL verdict
  kExitFailVerdict = 1,  // the list ran to its end with a FAIL verdict
  kExitUsage = 2,        // bad command line, unreadable step file or INI, report not written
  kExitStopped = 3,      // stopped by SIGINT, SIGTERM or SIGHUP
  kExitUnreachable = 4,  // the load did not answer
};

/// The step file that names standard input.
inline constexpr std::string_view kStandardInput = "-";

struct HeadlessOptions {
  /// Empty: the KV26.INI the desktop program uses.
  std::string iniPath;
  HeadlessLinkKind link = HeadlessLinkKind::FromIni;
  /// --lan's host: an IPv4 or IPv6 address or a host name.
  std::string lanHost = "127.0.0.1";
  int lanPort = kDefaultLanPort;
  /// --connect-timeout; empty: the LAN transport's own bound.
  std::optional<int> connectTimeoutMs;
  std::string serialPort;
  std::optional<std::int32_t> baudRate;
  std::optional<std::int16_t> handShake;
  std::int16_t gpibAddress = kDefaultGpibAddress;
  /// Empty: the GPIB driver library names tried by default.
  std::string gpibLibrary;
  /// Model text of the simulated load; empty for its default.
  std::string simModel;
  std::string csvPath;
  /// --summary: the run summary as CSV, written when the run ends however it ends.
  std::string summaryPath;
  /// --journal: every row appended as it comes, so a crash keeps the run.
  std::string journalPath;
  /// --junit: JUnit XML, one test case per step taken, written when the run ends.
  std::string junitPath;
  /// --bdf: the Battery Data Format table, its metadata beside it, at the end.
  std::string bdfPath;
  /// --report: the run report as a PDF, written when the run ends.
  std::string reportPath;
  /// --from-journal: a run's files from its journal or CSV report; no run.
  std::string fromJournal;
  /// --timeout: the run is stopped (load off) once it has taken this long.
  std::optional<double> timeoutSeconds;
  /// --publish, --bench, --remote-stop: laid over the settings' [Publish].
  std::string publishBroker;
  std::string benchName;
  bool remoteStop = false;
  /// --check: the list's findings and plan only; nothing is connected.
  bool checkOnly = false;
  /// --strict: a list with errors is not run.
  bool strict = false;
  /// --format jsonl: standard output carries JSON lines instead of the report.
  bool jsonl = false;
  bool quiet = false;
  /// "-": the list comes on standard input.
  std::string stepFile;
  bool help = false;
  bool version = false;
};

struct HeadlessParse {
  bool ok = false;
  /// What is wrong with the command line, when !ok.
  std::string error;
  HeadlessOptions options;
};

/// Reads the arguments that follow the program name. Options take their value
/// as the next argument or after "="; "--" ends the options.
HeadlessParse ParseHeadlessArguments(const std::vector<std::string>& args);

/// The --help text.
std::string HeadlessUsage();

/// `fromIni` with the connection options laid over it (ConnectMode included).
/// Not meaningful for HeadlessLinkKind::Sim.
LinkSettings ApplyHeadlessLink(const HeadlessOptions& options, LinkSettings fromIni);

}  // namespace kv
