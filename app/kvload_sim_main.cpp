// kvload-sim: a simulated electronic load served over TCP and a pseudo-terminal.
#include <QCoreApplication>
#include <cstdio>

#include "process/process_signals.h"
#include "process/standard_descriptors.h"
#include "sim/server/sim_server.h"
#include "sim/server/sim_server_options.h"

int main(int argc, char** argv) {
  kv::OpenClosedStandardDescriptors();
  kv::IgnoreBrokenPipe();
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("kvload-sim");
  QCoreApplication::setApplicationVersion(KV_VERSION);

  kv::SimServerLaunch launch;
  QString text;
  switch (kv::ReadSimCommandLine(QCoreApplication::arguments(), &launch, &text)) {
    case kv::SimCommand::Help:
      std::fputs(qPrintable(text), stdout);
      return kv::StatusAfterStandardOutput("kvload-sim", 0);
    case kv::SimCommand::Version:
      std::puts("kvload-sim " KV_VERSION);
      return kv::StatusAfterStandardOutput("kvload-sim", 0);
    case kv::SimCommand::Refuse:
      std::fprintf(stderr, "kvload-sim: %s\nTry 'kvload-sim --help'.\n", qPrintable(text));
      return 2;
    case kv::SimCommand::Serve:
      break;
  }

  QString error;
  kv::SimServer server(launch.config);
  if (!server.OpenLog(&error) ||
      (launch.tcp && !server.ListenTcp(launch.address, launch.port, &error)) ||
      (launch.serial && !server.OpenPty(&error))) {
    std::fprintf(stderr, "kvload-sim: %s\n", qPrintable(error));
    return 2;
  }
  // SIGINT/SIGTERM end the event loop so that the log is complete.
  kv::ProcessSignals signalSource;
  QObject::connect(&signalSource, &kv::ProcessSignals::received, &app, &QCoreApplication::quit);

  const kv::SimSourceParams& s = launch.config.load.source;
  if (s.kind == kv::SimSourceKind::Battery) {
    std::fprintf(stderr,
                 "kvload-sim: model \"%s\", battery %.3g-%.3g V, %.4g Ah at %.0f%%, %.3g ohm\n",
                 launch.config.load.modelText.c_str(), s.emptyVoltage, s.fullVoltage, s.capacityAh,
                 s.initialSoc * 100.0, s.internalOhm);
  } else {
    std::fprintf(stderr, "kvload-sim: model \"%s\", supply %.4g V, %.3g ohm\n",
                 launch.config.load.modelText.c_str(), s.fullVoltage, s.internalOhm);
  }
  std::printf("%s\n", qPrintable(server.ReadyLine()));
  std::fflush(stdout);

  QCoreApplication::exec();

  server.Finish();
  const kv::SimulatedLoad& load = server.Load();
  std::fprintf(stderr, "kvload-sim: %d lines received, %d rejected\n", load.LineCount(),
               load.ErrorCount());
  return launch.failOnError && load.ErrorCount() > 0 ? 1 : 0;
}
