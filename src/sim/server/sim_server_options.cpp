#include "sim/server/sim_server_options.h"

#include <limits>
#include <type_traits>

namespace kv {
namespace {

struct OptionText {
  const char* name;
  const char* valueName;  // nullptr for a switch
  const char* help;
};

constexpr OptionText kOptions[] = {
    {"model", "text",
     "Reply to \"name?\" (default \"KVLOAD-SIM 100G\", which offers every "
     "function; a text without \"G\" is not battery-capable)."},
    {"source", "battery|supply",
     "What is on the input: a battery (default: a 50 mAh lithium cell, 4.2 V full, "
     "0.05 ohm, protected at 5 A, small so that short demos show a real discharge) or a "
     "bench supply (12 V, 0.01 ohm, 5 A limit)."},
    {"voltage", "V", "Battery voltage when full, or the supply's output voltage."},
    {"empty-voltage", "V", "Battery open-circuit voltage when empty (default 2.5)."},
    {"capacity", "Ah", "Battery capacity."},
    {"soc", "percent", "Battery state of charge at start (default 100)."},
    {"resistance", "ohm", "Internal resistance of the source."},
    {"current-limit", "A", "Current above which the source's output collapses (0: none)."},
    {"power-limit", "W", "Power above which the source's output collapses (0: none)."},
    {"sweep-step-ms", "ms", "Time on each level of an OCP/OPP sweep (default 100)."},
    {"speed", "factor", "Model seconds per real second (default 1)."},
    {"log", "file",
     "Command log: every line received (RX), reply (TX) and rejection (ERR), "
     "one per line with the model time in seconds, tab-separated."},
    {"rx-log", "file",
     "Every line received, written at once: the wall-clock time in ms since 1970, a tab and "
     "the line (control bytes and \\ as \\xNN), one per line."},
    {"listen", "address", "TCP address to listen on (default 127.0.0.1, loopback only)."},
    {"port", "port", "TCP port (default 4001; 0 picks a free one, shown in the ready line)."},
    {"no-tcp", nullptr, "Do not serve TCP."},
    {"no-serial", nullptr, "Do not open a pseudo-terminal."},
    {"reply-eol", "lf|crlf", "Reply terminator (default CR LF on TCP, LF on the serial line)."},
    {"reply-delay", "ms", "Fault: send every reply this late."},
    {"silent", nullptr, "Fault: never reply."},
    {"silent-after", "n", "Fault: stop replying after n lines of a connection."},
    {"garbage-every", "n", "Fault: replace every n-th reply by junk (1: all of them)."},
    {"split-replies", "n", "Fault: send each reply in n pieces..."},
    {"split-delay", "ms", "...this many ms apart (default 20)."},
    {"drop-after", "n",
     "Fault: drop a connection when its n-th line arrives, without replying to it; on the "
     "serial line the pseudo-terminal is closed and its device goes away."},
    {"stay-away", nullptr,
     "Fault: after a TCP drop, accept no new connection, so the load cannot be reached again."},
    {"endless-reply", "n",
     "Fault: from the n-th reply of a connection on, stream bytes without a line end instead "
     "of replying."},
    {"control-every", "n",
     "Fault: put control characters (CR, ESC, BEL, TAB, NUL) inside every n-th reply; its "
     "numbers still read the same."},
    {"linefeed-every", "n",
     "Fault: put a line feed after the first field of every n-th reply, so that it arrives as "
     "two lines."},
    {"meas-reply", "text",
     "Fault: answer \"MEAS:VC?\" with this text instead of the measurement (\"ErrRec\", "
     "\"4.1\", \"\")..."},
    {"meas-reply-every", "n", "...on every n-th \"MEAS:VC?\" only (default 1: each one)."},
    {"verbose", nullptr, "Echo every log line on standard error."},
    {"fail-on-error", nullptr, "Exit with status 1 if any line was rejected."},
};

// Reads option `name` into `out` when it is given; a text that is not a
// number of type T within [min, max] is an error naming the option.
template <typename T>
bool ReadNumber(const QCommandLineParser& p, const char* name, T min, T max, T* out,
                QString* error) {
  if (!p.isSet(name)) {
    return true;
  }
  bool ok = false;
  T v{};
  if constexpr (std::is_same_v<T, double>) {
    v = p.value(name).toDouble(&ok);
  } else {
    v = p.value(name).toInt(&ok);
  }
  if (!ok || v < min || v > max) {
    *error = QStringLiteral("--%1: \"%2\" is not a %3 from %4 to %5")
                 .arg(name, p.value(name),
                      std::is_same_v<T, double> ? QStringLiteral("number")
                                                : QStringLiteral("whole number"))
                 .arg(min)
                 .arg(max);
    return false;
  }
  *out = v;
  return true;
}

// "unknown option \"--x\"" as kvload-run says it; Qt's other texts in its style.
QString UsageError(const QCommandLineParser& p) {
  const QStringList unknown = p.unknownOptionNames();
  if (!unknown.isEmpty()) {
    const QString& name = unknown.first();
    return QStringLiteral("unknown option \"%1%2\"")
        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
  }
  QString text = p.errorText();
  if (text.endsWith('.')) {
    text.chop(1);
  }
  return text.isEmpty() ? text : text.front().toLower() + text.mid(1);
}

bool ReadDouble(const QCommandLineParser& p, const char* name, double min, double max, double* out,
                QString* error) {
  return ReadNumber(p, name, min, max, out, error);
}

bool ReadInt(const QCommandLineParser& p, const char* name, int min, int max, int* out,
             QString* error) {
  return ReadNumber(p, name, min, max, out, error);
}

}  // namespace

void AddSimServerOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "A simulated DC electronic load for trying step lists and for tests. It speaks the "
      "load's text protocol over TCP and over a pseudo-terminal (connect a serial client to "
      "the device it prints), and prints a ready line on standard output once it serves. "
      "Lines it does not know, or whose value it cannot read, are rejected and reported. "
      "SIGINT or SIGTERM end it cleanly.");
  // Qt's own pair would make -v the version, where kvload-run has -V.
  parser.addOption(QCommandLineOption({"h", "help"}, "Show this help."));
  parser.addOption(QCommandLineOption({"V", "version"}, "Show the program's version."));
  for (const OptionText& o : kOptions) {
    if (o.valueName != nullptr) {
      parser.addOption(QCommandLineOption(o.name, o.help, o.valueName));
    } else {
      parser.addOption(QCommandLineOption(o.name, o.help));
    }
  }
}

bool ReadSimServerOptions(const QCommandLineParser& p, SimServerLaunch* out, QString* error) {
  SimServerConfig& c = out->config;
  SimSourceParams& s = c.load.source;
  // A load served for days streams its log to the file instead of memory.
  c.load.keepLog = false;
  if (p.isSet("model")) {
    c.load.modelText = p.value("model").toStdString();
  }
  if (p.isSet("source")) {
    const QString kind = p.value("source");
    if (kind == "supply") {
      s = SimSourceParams{};
      s.kind = SimSourceKind::Supply;
      s.fullVoltage = 12.0;
      s.internalOhm = 0.01;
      s.currentLimitA = 5.0;
      s.powerLimitW = 0.0;
    } else if (kind != "battery") {
      *error = QStringLiteral("--source: \"%1\" is neither battery nor supply").arg(kind);
      return false;
    }
  }
  constexpr double kBig = 1e6;
  double soc = s.initialSoc * 100.0;
  if (!ReadDouble(p, "voltage", 0.001, kBig, &s.fullVoltage, error) ||
      !ReadDouble(p, "empty-voltage", 0.0, kBig, &s.emptyVoltage, error) ||
      !ReadDouble(p, "capacity", 1e-6, kBig, &s.capacityAh, error) ||
      !ReadDouble(p, "soc", 0.0, 100.0, &soc, error) ||
      !ReadDouble(p, "resistance", 0.0, kBig, &s.internalOhm, error) ||
      !ReadDouble(p, "current-limit", 0.0, kBig, &s.currentLimitA, error) ||
      !ReadDouble(p, "power-limit", 0.0, kBig, &s.powerLimitW, error) ||
      !ReadInt(p, "sweep-step-ms", 1, 3600000, &c.load.sweepStepMs, error) ||
      !ReadDouble(p, "speed", 0.001, 10000.0, &c.speed, error)) {
    return false;
  }
  s.initialSoc = soc / 100.0;
  if (s.kind == SimSourceKind::Battery && s.emptyVoltage >= s.fullVoltage) {
    *error = QStringLiteral("--empty-voltage must be below --voltage");
    return false;
  }
  c.logFile = p.value("log");
  c.rxLogFile = p.value("rx-log");
  c.verbose = p.isSet("verbose");
  out->failOnError = p.isSet("fail-on-error");
  out->tcp = !p.isSet("no-tcp");
  out->serial = !p.isSet("no-serial");
  if (p.isSet("listen") && !out->address.setAddress(p.value("listen"))) {
    *error = QStringLiteral("--listen: \"%1\" is not an IP address").arg(p.value("listen"));
    return false;
  }
  int port = out->port;
  if (!ReadInt(p, "port", 0, 65535, &port, error)) {
    return false;
  }
  out->port = static_cast<quint16>(port);
  if (p.isSet("reply-eol")) {
    const QString eol = p.value("reply-eol");
    if (eol == "lf") {
      c.replyEol = "\n";
    } else if (eol == "crlf") {
      c.replyEol = "\r\n";
    } else {
      *error = QStringLiteral("--reply-eol: \"%1\" is neither lf nor crlf").arg(eol);
      return false;
    }
  }
  constexpr int kMax = std::numeric_limits<int>::max();
  SimFaults& f = c.faults;
  if (!ReadInt(p, "reply-delay", 0, 600000, &f.replyDelayMs, error) ||
      !ReadInt(p, "silent-after", 0, kMax, &f.silentAfter, error) ||
      !ReadInt(p, "garbage-every", 0, kMax, &f.garbageEvery, error) ||
      !ReadInt(p, "split-replies", 1, 1000, &f.splitReplies, error) ||
      !ReadInt(p, "split-delay", 0, 60000, &f.splitDelayMs, error) ||
      !ReadInt(p, "drop-after", 0, kMax, &f.dropAfter, error) ||
      !ReadInt(p, "endless-reply", 0, kMax, &f.endlessFrom, error) ||
      !ReadInt(p, "control-every", 0, kMax, &f.controlEvery, error) ||
      !ReadInt(p, "linefeed-every", 0, kMax, &f.lineFeedEvery, error) ||
      !ReadInt(p, "meas-reply-every", 1, kMax, &f.measReplyEvery, error)) {
    return false;
  }
  if (p.isSet("meas-reply")) {
    f.measReply = p.value("meas-reply").toLocal8Bit();
  }
  f.stayAway = p.isSet("stay-away");
  if (p.isSet("silent")) {
    f.silentAfter = 0;
  }
  if (!out->tcp && !out->serial) {
    *error = QStringLiteral("--no-tcp and --no-serial leave nothing to serve");
    return false;
  }
  return true;
}

SimCommand ReadSimCommandLine(const QStringList& arguments, SimServerLaunch* launch,
                              QString* text) {
  QCommandLineParser parser;
  AddSimServerOptions(parser);
  if (!parser.parse(arguments)) {
    *text = UsageError(parser);
    return SimCommand::Refuse;
  }
  if (parser.isSet("help")) {
    *text = parser.helpText();
    // Qt names the program by the path it was started with.
    const QString usage = "Usage: " + arguments.value(0);
    if (text->startsWith(usage)) {
      text->replace(0, usage.size(), "Usage: kvload-sim");
    }
    return SimCommand::Help;
  }
  if (parser.isSet("version")) {
    return SimCommand::Version;
  }
  if (!parser.positionalArguments().isEmpty()) {
    *text = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
    return SimCommand::Refuse;
  }
  return ReadSimServerOptions(parser, launch, text) ? SimCommand::Serve : SimCommand::Refuse;
}

}  // namespace kv
