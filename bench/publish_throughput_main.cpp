// Rows a second from the publisher to a local Mosquitto broker, and what
// handing one row over costs the station's thread.
// Usage: publish_throughput [--rows N]   (default 1,000,000)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <string>

#include "publish/mqtt_publisher.h"

namespace {

void Figure(const char* name, double value) {
  std::printf("figure\t%s\t%.4f\n", name, value);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const qsizetype at = args.indexOf(QStringLiteral("--rows"));
  const long rows = at >= 0 && at + 1 < args.size() ? args.at(at + 1).toLong() : 1000000;

  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const quint16 port = probe.serverPort();
  probe.close();
  QTemporaryDir dir;
  const QString conf = dir.filePath(QStringLiteral("mosquitto.conf"));
  QFile file(conf);
  file.open(QIODevice::WriteOnly);
  file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                 .arg(port)
                 .toUtf8());
  file.close();
  QProcess broker;
  broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf});
  if (!broker.waitForStarted()) {
    std::fprintf(stderr, "mosquitto did not start\n");
    return 1;
  }
  int result = 1;
  {
    kv::PublishConfig config;
    config.address = {false, "127.0.0.1", port};
    config.bench = "throughput";
    kv::MqttPublisher publisher(config, "{\"state\":\"offline\"}", {},
                                static_cast<std::size_t>(rows) + 1);
    for (int i = 0; i < 100 && !publisher.Connected(); ++i) {
      QThread::msleep(50);
    }
    // A row as kvload-run publishes it.
    const std::string row =
        R"({"ah":"0.01276389","function":"Discharge","i":"2.0000","no":"23","pass":1,)"
        R"("result":"","stamp":"2026/12/07 11:39:36","step":1,"time":"11:39:36","type":"row",)"
        R"("v":"3.8200","w":"7.6400","wh":"0.04915972"})";
    QElapsedTimer clock;
    clock.start();
    qint64 handOverNs = 0;
    for (long i = 0; i < rows; ++i) {
      std::string payload = row;
      QElapsedTimer one;
      one.start();
      publisher.Publish("row", std::move(payload));
      handOverNs += one.nsecsElapsed();
    }
    while (publisher.Backlog() > 0 && clock.elapsed() < 600000) {
      QThread::msleep(5);
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::fprintf(stderr, "%ld rows in %.2f s, %zu dropped, backlog %zu\n", rows, seconds,
                 publisher.TakeUntoldDrops(), publisher.Backlog());
    if (publisher.Backlog() == 0) {
      Figure("publish_rows_per_s", static_cast<double>(rows) / seconds);
      Figure("publish_handover_us",
             static_cast<double>(handOverNs) / 1e3 / static_cast<double>(rows));
      result = 0;
    }
  }
  broker.kill();
  broker.waitForFinished();
  return result;
}
