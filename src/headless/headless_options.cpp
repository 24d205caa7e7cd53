#include "headless/headless_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

#include "headless/headless_reopen.h"
#include "link/instrument_link.h"
#include "link/lan_endpoint.h"
#include "link/setting_ranges.h"

namespace kv {

namespace {

bool IsOption(std::string_view arg) {
  return arg.size() > 1 && arg[0] == '-';
}

// Seconds as a decimal number, more than 0 and at most an hour.
bool ParseConnectSeconds(const std::string& text, int* ms) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !(seconds > 0) ||
      seconds > 3600) {
    return false;
  }
  *ms = std::max(1, static_cast<int>(std::lround(seconds * 1000)));
  return true;
}

// A month: longer than any list, short enough to stay exact in milliseconds.
constexpr long long kMaxTimeoutSeconds = 31LL * 24 * 3600;

// Whatever the locale: "2.5" is two and a half seconds on every bench.
std::optional<double> ParseSeconds(const std::string& text) {
  double value = 0.0;
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(text.data(), last, value, std::chars_format::fixed);
  if (ec != std::errc() || end != last || !(value >= 1.0) ||
      value > static_cast<double>(kMaxTimeoutSeconds)) {
    return std::nullopt;
  }
  return value;
}

class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

  HeadlessParse Parse() {
    HeadlessParse out;
    HeadlessOptions& o = out.options;
    // A word right after --sim is its model only when the step file follows
    // later; "--sim demo.tsf" must run demo.tsf on the default model.
    std::optional<std::size_t> modelCandidate;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    int connections = 0;
    for (pos_ = 0; pos_ < args_.size(); ++pos_) {
      const std::string& arg = args_[pos_];
      if (optionsEnded || !IsOption(arg)) {
        positional.push_back(arg);
        continue;
      }
      if (arg == "--") {
        optionsEnded = true;
        continue;
      }
      const std::size_t eq = arg.find('=');
      name_ = arg.substr(0, eq);
      inlineValue_.reset();
      consumedInline_ = false;
      if (eq != std::string::npos) {
        inlineValue_ = arg.substr(eq + 1);
      }
      std::string value;
      if (name_ == "-h" || name_ == "--help") {
        o.help = true;
      } else if (name_ == "-V" || name_ == "--version") {
        o.version = true;
      } else if (name_ == "--quiet" || name_ == "-q") {
        o.quiet = true;
      } else if (name_ == "--ini") {
        if (!Value(&o.iniPath)) {
          return Fail(out);
        }
      } else if (name_ == "--csv") {
        if (!Value(&o.csvPath)) {
          return Fail(out);
        }
      } else if (name_ == "--summary") {
        if (!Value(&o.summaryPath)) {
          return Fail(out);
        }
      } else if (name_ == "--journal") {
        if (!Value(&o.journalPath)) {
          return Fail(out);
        }
      } else if (name_ == "--junit") {
        if (!Value(&o.junitPath)) {
          return Fail(out);
        }
      } else if (name_ == "--bdf") {
        if (!Value(&o.bdfPath)) {
          return Fail(out);
        }
      } else if (name_ == "--report") {
        if (!Value(&o.reportPath)) {
          return Fail(out);
        }
      } else if (name_ == "--from-journal") {
        if (!Value(&o.fromJournal)) {
          return Fail(out);
        }
      } else if (name_ == "--timeout") {
        if (!Value(&value)) {
          return Fail(out);
        }
        o.timeoutSeconds = ParseSeconds(value);
        if (!o.timeoutSeconds) {
          error_ = "--timeout: \"" + value + "\" is not a number of seconds from 1 to " +
                   std::to_string(kMaxTimeoutSeconds);
          return Fail(out);
        }
      } else if (name_ == "--publish") {
        if (!Value(&o.publishBroker)) {
          return Fail(out);
        }
      } else if (name_ == "--bench") {
        if (!Value(&o.benchName)) {
          return Fail(out);
        }
      } else if (name_ == "--remote-stop") {
        o.remoteStop = true;
      } else if (name_ == "--check") {
        o.checkOnly = true;
      } else if (name_ == "--strict") {
        o.strict = true;
      } else if (name_ == "--format") {
        if (!Value(&value)) {
          return Fail(out);
        }
        if (value != "text" && value != "jsonl") {
          error_ = "--format: \"" + value + "\" is neither text nor jsonl";
          return Fail(out);
        }
        o.jsonl = value == "jsonl";
      } else if (name_ == "--lan") {
        ++connections;
        o.link = HeadlessLinkKind::Lan;
        if (!Value(&value) || !ParseLan(value, &o)) {
          return Fail(out);
        }
      } else if (name_ == "--connect-timeout") {
        int ms = 0;
        if (!Value(&value)) {
          return Fail(out);
        }
        if (!ParseConnectSeconds(value, &ms)) {
          error_ = "--connect-timeout: \"" + value + "\" is not a number of seconds above 0, " +
                   "at most 3600";
          return Fail(out);
        }
        o.connectTimeoutMs = ms;
      } else if (name_ == "--serial") {
        ++connections;
        o.link = HeadlessLinkKind::Serial;
        if (!Value(&o.serialPort)) {
          return Fail(out);
        }
        if (SerialDeviceName(o.serialPort).empty()) {
          error_ = "--serial: \"" + o.serialPort + "\" names no serial port";
          return Fail(out);
        }
      } else if (name_ == "--baud") {
        long long n = 0;
        if (!Number(kBaudRateRange, &n)) {
          return Fail(out);
        }
        o.baudRate = static_cast<std::int32_t>(n);
      } else if (name_ == "--handshake") {
        long long n = 0;
        if (!Number(kHandShakeRange, &n)) {
          return Fail(out);
        }
        o.handShake = static_cast<std::int16_t>(n);
      } else if (name_ == "--gpib") {
        ++connections;
        o.link = HeadlessLinkKind::Gpib;
        long long n = 0;
        if (!Number(kAddressRange, &n)) {
          return Fail(out);
        }
        o.gpibAddress = static_cast<std::int16_t>(n);
      } else if (name_ == "--gpib-library") {
        if (!Value(&o.gpibLibrary)) {
          return Fail(out);
        }
      } else if (name_ == "--sim") {
        ++connections;
        o.link = HeadlessLinkKind::Sim;
        if (inlineValue_) {
          consumedInline_ = true;
          o.simModel = *inlineValue_;
        } else if (pos_ + 1 < args_.size() && !IsOption(args_[pos_ + 1])) {
          modelCandidate = positional.size();
          positional.push_back(args_[++pos_]);
        }
      } else {
        error_ = "unknown option \"" + arg + "\"";
        return Fail(out);
      }
      if (inlineValue_ && !consumedInline_) {
        error_ = name_ + " takes no value";
        return Fail(out);
      }
    }
    if (o.help || o.version) {
      out.ok = true;
      return out;
    }
    if (connections > 1) {
      error_ = "give at most one of --lan, --serial, --gpib and --sim";
      return Fail(out);
    }
    if ((o.baudRate || o.handShake) && o.link != HeadlessLinkKind::Serial &&
        o.link != HeadlessLinkKind::FromIni) {
      error_ = "--baud and --handshake belong to a serial connection";
      return Fail(out);
    }
    if (o.connectTimeoutMs && o.link != HeadlessLinkKind::Lan &&
        o.link != HeadlessLinkKind::FromIni) {
      error_ = "--connect-timeout belongs to a LAN connection";
      return Fail(out);
    }
    if (modelCandidate && positional.size() == 2 && *modelCandidate == 0) {
      o.simModel = positional[0];
      positional.erase(positional.begin());
    }
    if (!o.fromJournal.empty()) {
      error_ = FromJournalConflict(o, positional.size());
      out.ok = error_.empty();
      return out.ok ? out : Fail(out);
    }
    if (positional.empty()) {
      error_ = "no step file given";
      return Fail(out);
    }
    if (positional.size() > 1) {
      error_ = "one step file only (\"" + positional[1] + "\" is extra)";
      return Fail(out);
    }
    o.stepFile = positional[0];
    out.ok = true;
    return out;
  }

 private:
  HeadlessParse& Fail(HeadlessParse& out) {
    out.ok = false;
    out.error = error_;
    return out;
  }

  bool Value(std::string* value) {
    consumedInline_ = true;
    if (inlineValue_) {
      *value = *inlineValue_;
    } else if (pos_ + 1 < args_.size()) {
      *value = args_[++pos_];
    } else {
      error_ = name_ + " needs a value";
      return false;
    }
    if (value->empty()) {
      error_ = name_ + " needs a value";
      return false;
    }
    return true;
  }

  bool Number(const SettingRange& range, long long* n) {
    std::string value;
    if (!Value(&value)) {
      return false;
    }
    if (!ParseSettingInteger(value, range.min, range.max, n)) {
      error_ = name_ + ": \"" + value + "\" is not a whole number from " +
               std::to_string(range.min) + " to " + std::to_string(range.max);
      return false;
    }
    return true;
  }

  bool ParseLan(const std::string& value, HeadlessOptions* o) {
    LanEndpoint endpoint;
    std::string error;
    if (!ParseLanEndpoint(value, kDefaultLanPort, &endpoint, &error)) {
      error_ = "--lan: " + error;
      return false;
    }
    o->lanHost = endpoint.host;
    o->lanPort = endpoint.port;
    return true;
  }

  const std::vector<std::string>& args_;
  std::size_t pos_ = 0;
  std::string name_;
  std::optional<std::string> inlineValue_;
  // Whether the option took the text after "=": "--quiet=1" is refused.
  bool consumedInline_ = false;
  std::string error_;
};

}  // namespace

HeadlessParse ParseHeadlessArguments(const std::vector<std::string>& args) {
  ArgumentReader reader(args);
  return reader.Parse();
}

std::string HeadlessUsage() {
  return R"(Usage: kvload-run [OPTIONS] STEPFILE

Runs a step list (.tsf) on the electronic load exactly as the desktop
program's Run does: it identifies the load, then starts the steps and
measures about once a second. The report header and every result row go to
standard output as CSV lines, the moment each row is added. Messages ("Test
Finished", "Lost Connect!", skipped steps) go to standard error. STEPFILE "-"
reads the list from standard input. Lines may end in CR LF, LF or CR; a list
with no steps is refused.

Connection (at most one; without any, the settings of KV26.INI are used, and
without that file nothing is run):
  --lan HOST[:PORT]     TCP to HOST, an IPv4 address, a host name or an IPv6
                        address in brackets, [::1]:4001 (port 4001)
    --connect-timeout S how long to keep trying to connect, in seconds
                        (default 10)
  --serial PORT         serial port: a COM number (1 is /dev/ttyS0), a device
                        path such as /dev/ttyUSB0 or a name such as ttyACM0
    --baud N            bit rate (default from KV26.INI, else 115200)
    --handshake N       0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both (default 2)
  --gpib ADDRESS        GPIB primary address on board 0
    --gpib-library FILE the NI-488.2 compatible driver library to load
  --sim [MODEL]         a simulated load inside this program (nothing real is
                        switched); MODEL is its reply to "name?"

Checking:
  --check               print the list's errors, warnings and notes and its
                        estimated run time and rows, then exit without
                        connecting to anything (0: no errors, 2: errors)
  --strict              refuse to run a list with errors (exit 2); without it
                        the errors and warnings are printed and the run starts

Other options:
  --ini FILE            read the connection settings from FILE instead of the
                        desktop program's KV26.INI
  --csv FILE            when the run ends, also write the report as the
                        desktop program's "Save Log" does: FILE upper-cased,
                        ".CSV" becoming "_0.CSV", "_1.CSV", ... per 32000 rows
  --summary FILE        when the run ends (also by a signal or a lost link),
                        write one CSV line per step taken and one for the run:
                        function, start, end, end reason, Ah, Wh, verdict
  --journal FILE        write every row to FILE as it comes, on the disk within
                        a second, so a crash or power cut keeps the run; FILE
                        must be new or empty (one that holds anything is
                        refused, never emptied)
  --junit FILE          when the run ends, write JUnit XML: the run as the
                        test suite, each step taken as a test case (FAIL a
                        failure; stopped, timed out or link lost an error)
  --bdf FILE            when the run ends, write the measurements as a Battery
                        Data Format table (FILE, e.g. run.bdf.csv; current
                        negative while the load draws) and its metadata
                        beside it (run.bdf.json)
  --report FILE         when the run ends, write the run report (FILE.pdf, A4):
                        header, chart, the steps taken, the check's findings
                        and the list as run
  --from-journal FILE   run nothing: read the rows of an ended (or crashed)
                        run from its journal or CSV report and write the
                        --csv, --summary, --junit and --bdf files from them
                        (a torn last line is left out; exit 1 when a row
                        holds FAIL)
  --timeout SECONDS     stop the run as SIGTERM would (load off, files
                        written) once it has taken SECONDS; reason "timeout",
                        exit status 3
  --publish URL         publish the run live to an MQTT broker (mqtt://host:port
                        or mqtts://...), over [Publish] Broker of the INI file;
                        topics kvload/BENCH/state, row, step, end, message
  --bench NAME          the bench's name in the topics (default: [Publish]
                        Bench, else the host's name)
  --remote-stop         let "stop" on kvload/BENCH/command or kvload/all/command
                        stop the run as SIGTERM would (exit status 3)
  --format text|jsonl   text (default): the report as above; jsonl: standard
                        output carries one JSON object a line instead (schema
                        1): a start object with the run id, rows, messages,
                        step ends and always, last, the run's end with the
                        exit status and verdict (standard error keeps its lines)
  -q, --quiet           standard error keeps errors and warnings only: no
                        progress, no "Test Finished", no "report written"
                        (the JSON stream is never quieted)
  -h, --help            this text
  -V, --version         the program's version

SIGINT (Ctrl-C), SIGTERM and SIGHUP stop the run as the Stop button does: the load
is sent "LOAD OFF" ("SEQLD:TEST OFF" during a Sequence Load) before the
program exits. A second signal leaves at once.

Exit status:
  0  the list ran to its end without a FAIL verdict
  1  the list ran to its end and some result row says FAIL
  2  usage error, unreadable step file or INI file, a list with no steps, no
     load named (no connection option and no KV26.INI), an unusable
     connection value in the INI file, a --csv, --summary, --journal, --junit,
     --bdf or --report target whose folder is missing or not writable, two of
     the step file, the INI file and those targets that are one file, a
     journal that holds anything or cannot be written, a report, summary,
     journal, JUnit, BDF or PDF file that could not be written, standard output that could not be
     written (a full disk, a reader that went away; the run goes on to its
     end), a list with errors under --check or --strict
  3  stopped by SIGINT, SIGTERM, SIGHUP or --timeout (also while connecting:
     nothing was connected then)
  4  the load could not be reached: at the start the connection was refused,
     the load unreachable or the connect timed out, or it gave no reply to
     "name?" (the run is then not started; one line says which), or during
     the run the connection failed or was lost, the load left 3 queries in a
     row unanswered (the run then goes on to its end as the desktop
     program's would), or 3 measurements in a row were missing
When more than one applies, 3 and 4 win over 2 (a file not written), and 2
wins over 1 (a FAIL verdict): a script that sees 1 has every file it asked for.
)";
}

LinkSettings ApplyHeadlessLink(const HeadlessOptions& options, LinkSettings fromIni) {
  LinkSettings s = std::move(fromIni);
  // A key the command line sets is no longer the file's unusable value.
  std::vector<std::string_view> replaced;
  switch (options.link) {
    case HeadlessLinkKind::Lan:
      s.connectMode = kModeLan;
      s.lanHost = options.lanHost;
      s.lanPort = options.lanPort;
      replaced = {kConnectModeKey, kLanIp1Key, kLanIp2Key, kLanIp3Key, kLanIp4Key, kLanPortKey};
      break;
    case HeadlessLinkKind::Serial:
      s.connectMode = kModeSerial;
      s.comPort = options.serialPort;
      replaced = {kConnectModeKey};
      break;
    case HeadlessLinkKind::Gpib:
      s.connectMode = kModeGpib;
      s.address = options.gpibAddress;
      replaced = {kConnectModeKey, kAddressKey};
      break;
    case HeadlessLinkKind::FromIni:
    case HeadlessLinkKind::Sim:
      break;
  }
  if (options.baudRate) {
    s.baudRate = *options.baudRate;
    replaced.push_back(kBaudRateKey);
  }
  if (options.handShake) {
    s.handShake = *options.handShake;
    replaced.push_back(kHandShakeKey);
  }
  std::erase_if(s.unusableKeys, [&replaced](const std::string& key) {
    return std::find(replaced.begin(), replaced.end(), key) != replaced.end();
  });
  return s;
}

}  // namespace kv
