#pragma once
// kvload-sim's command line: the load's model text and source, where it is
// served, its log, and the faults it shows on request.

#include <QCommandLineParser>
#include <QHostAddress>
#include <QString>

#include "sim/server/sim_server.h"

namespace kv {

struct SimServerLaunch {
  SimServerConfig config;
  QHostAddress address{QHostAddress::LocalHost};
  quint16 port = 4001;
  bool tcp = true;
  bool serial = true;
  /// Exit status 1 when any line was rejected.
  bool failOnError = false;
};

/// Declares every option (with -h/--help and -V/--version) on `parser`.
void AddSimServerOptions(QCommandLineParser& parser);
/// Reads the options `parser` has parsed; false with `error` on a value it
/// cannot use.
bool ReadSimServerOptions(const QCommandLineParser& parser, SimServerLaunch* out, QString* error);

/// What kvload-sim's command line asks for.
enum class SimCommand { Serve, Help, Version, Refuse };

/// Reads the whole command line, the program's path first. Serve fills
/// `launch`; Help puts the usage text in `text`, Refuse what is wrong, worded
/// as kvload-run words it.
SimCommand ReadSimCommandLine(const QStringList& arguments, SimServerLaunch* launch, QString* text);

}  // namespace kv
