// Runs the live station against a load on the loopback interface that answers
// at once, and reports the CPU time the station used and the tick period.
//
//   station_timing [--seconds N]     the station (starts the load itself)
//   station_timing --load            the load: prints its port, then serves
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
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

int ServeLoad(QCoreApplication& app) {
  QTcpServer server;
  if (!server.listen(QHostAddress::LocalHost, 0)) {
    return 1;
  }
  QObject::connect(&server, &QTcpServer::newConnection, [&server] {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
      socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
      auto* pending = new QByteArray;
      QObject::connect(socket, &QObject::destroyed, [pending] { delete pending; });
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, pending] {
        *pending += socket->readAll();
        qsizetype lf = 0;
        while ((lf = pending->indexOf('\n')) >= 0) {
          const QByteArray line = pending->left(lf).trimmed();
          pending->remove(0, lf + 1);
          if (line == "name?") {
            socket->write("KV-G100\r\n");
          } else if (line == "MEAS:VC?") {
            socket->write("12.000,1.000\r\n");
          } else if (line.endsWith('?')) {
            socket->write("0\r\n");
          }
        }
        socket->flush();
      });
    }
  });
  std::printf("%u\n", static_cast<unsigned>(server.serverPort()));
  std::fflush(stdout);
  return app.exec();
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size())));
  return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.contains(QStringLiteral("--load"))) {
    return ServeLoad(app);
  }
  int seconds = 60;
  const qsizetype at = args.indexOf(QStringLiteral("--seconds"));
  if (at >= 0 && at + 1 < args.size()) {
    seconds = std::max(3, args.at(at + 1).toInt());
  }

  // The load runs in its own process so that its CPU time is not counted.
  QProcess load;
  load.start(app.applicationFilePath(), {QStringLiteral("--load")});
  if (!load.waitForStarted() || !load.waitForReadyRead(5000)) {
    std::fprintf(stderr, "the loopback load did not start\n");
    return 1;
  }
  const int port = load.readLine().trimmed().toInt();

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
