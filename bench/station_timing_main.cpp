// Runs the live station against kvload-sim on the loopback interface (it
// answers at once), and reports the CPU time the station used and the tick
// period.
//
//   station_timing [--seconds N]     starts kvload-sim from its own folder
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "link/message_sink.h"
#include "link/transports/link_router.h"
#include "station/station.h"
#include "steps/step_columns.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PrintingSink : public kv::MessageSink {
 public:
  void ShowMessage(std::string_view text) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size())));
  return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  int seconds = 60;
  const qsizetype at = args.indexOf(QStringLiteral("--seconds"));
  if (at >= 0 && at + 1 < args.size()) {
    seconds = std::max(3, args.at(at + 1).toInt());
  }

  // The simulated load runs in its own process so that its CPU time is not
  // counted; a bench supply answers at once and never runs flat.
  QProcess load;
  load.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  load.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kvload-sim"),
             {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-serial"),
              QStringLiteral("--source"), QStringLiteral("supply")});
  if (!load.waitForStarted() || !load.waitForReadyRead(5000)) {
    std::fprintf(stderr, "kvload-sim did not start\n");
    return 1;
  }
  // "kvload-sim ready tcp=127.0.0.1:PORT"
  const QByteArray ready = load.readLine().trimmed();
  const int port = ready.mid(ready.lastIndexOf(':') + 1).toInt();

  PrintingSink sink;
  kv::LinkSettings settings;
  settings.connectMode = kv::kModeLan;
  settings.lanIp = {127, 0, 0, 1};
  settings.lanPort = port;
  kv::LinkRouter router(settings, sink);
  kv::Station station(router);
  kv::StepGrid& grid = station.Steps();
  grid.SetRows(3);
  grid.SetCell(1, kv::kColStepNo, "1");
  grid.SetCell(1, kv::kColFunction, "Discharge");
  grid.SetCell(1, kv::kColMode, "CC");
  grid.SetCell(1, kv::kColSinkValue, "1");
  grid.SetCell(1, kv::kColTStop, "86400");

  QElapsedTimer clock;
  std::vector<qint64> tickStartsNs;
  QObject::connect(&station, &kv::Station::tickStarted,
                   [&] { tickStartsNs.push_back(clock.nsecsElapsed()); });
  QObject::connect(&station, &kv::Station::message, [](const QString& text) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  });

  double cpuAtRun = 0.0;
  QTimer::singleShot(0, [&] {
    clock.start();
    cpuAtRun = CpuSeconds();
    station.Run();
  });
  QTimer::singleShot(seconds * 1000 + 500, [&] {
    station.Stop();
    app.quit();
  });
  app.exec();
  const double cpu = CpuSeconds() - cpuAtRun;
  const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  load.kill();
  load.waitForFinished();

  if (tickStartsNs.size() < 3) {
    std::fprintf(stderr, "too few ticks (%zu)\n", tickStartsNs.size());
    return 1;
  }
  std::vector<double> periods;
  for (std::size_t i = 1; i < tickStartsNs.size(); ++i) {
    periods.push_back(static_cast<double>(tickStartsNs[i] - tickStartsNs[i - 1]) / 1e6);
  }
  const double span = static_cast<double>(tickStartsNs.back() - tickStartsNs.front()) / 1e6;
  const double drift = span - 1000.0 * static_cast<double>(periods.size());
  std::printf("run: %.1f s wall, %zu ticks\n", wall, tickStartsNs.size());
  std::printf("cpu: %.3f s (%.3f%% of one core)\n", cpu, 100.0 * cpu / wall);
  std::printf("tick period: median %.2f ms, p99 %.2f ms, min %.2f ms, max %.2f ms\n",
              Percentile(periods, 50), Percentile(periods, 99),
              *std::min_element(periods.begin(), periods.end()),
              *std::max_element(periods.begin(), periods.end()));
  std::printf("drift over %zu periods: %+.2f ms\n", periods.size(), drift);
  return 0;
}
