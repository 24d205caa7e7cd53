#include "e2e/broker_process.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>

namespace kv::test {

std::string BrokerProcess::Start(quint16 port) {
  if (port == 0) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    port = probe.serverPort();
  }
  port_ = port;
  QFile conf(dir_.filePath("mosquitto.conf"));
  if (!conf.open(QIODevice::WriteOnly)) {
    return "cannot write the broker's configuration";
  }
  conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                            "log_dest stderr\n")
                 .arg(port_)
                 .toUtf8());
  conf.close();
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.start("mosquitto", {"-c", conf.fileName()});
  QByteArray out;
  const QDeadlineTimer deadline(10000);
  while (!out.contains(" running") && !deadline.hasExpired() &&
         process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
    out += process_.readAll();
  }
  return out.contains(" running") ? "" : "mosquitto did not start: " + out.toStdString();
}

void BrokerProcess::Kill() {
  if (process_.state() != QProcess::NotRunning) {
    ::kill(static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished();
  }
}

bool Subscriber::Start(quint16 port, const QString& filter) {
  process_.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(port), "-t", filter,
                                   "-t", "kvload-test/probe", "-F", "%r %t %p"});
  if (!process_.waitForStarted()) {
    return false;
  }
  // Nothing tells when the subscription holds but a message that comes back.
  const QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired()) {
    PublishTo(port, "kvload-test/probe", "probe");
    process_.waitForReadyRead(100);
    out_ += process_.readAll();
    if (out_.contains("kvload-test/probe")) {
      return true;
    }
  }
  return false;
}

const QList<Heard>& Subscriber::HeardSoFar() {
  out_ += process_.readAll();
  for (qsizetype end = out_.indexOf('\n'); end >= 0; end = out_.indexOf('\n')) {
    const QByteArray line = out_.left(end);
    out_.remove(0, end + 1);
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() >= 3 && parts[1] != "kvload-test/probe") {
      const QByteArray payload = line.mid(parts[0].size() + parts[1].size() + 2);
      heard_.append({parts[0] == "1", QString::fromUtf8(parts[1]),
                     QJsonDocument::fromJson(payload).object()});
    }
  }
  return heard_;
}

bool Subscriber::WaitFor(const std::function<bool(const QList<Heard>&)>& done) {
  const QDeadlineTimer deadline(30000);
  while (!done(HeardSoFar()) && !deadline.hasExpired()) {
    process_.waitForReadyRead(100);
  }
  return done(HeardSoFar());
}

bool PublishTo(quint16 port, const QString& topic, const QString& payload) {
  QProcess pub;
  pub.start("mosquitto_pub",
            {"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-m", payload});
  return pub.waitForFinished() && pub.exitCode() == 0;
}

bool HeardValue(const QList<Heard>& heard, const QString& topic, const QString& key,
                const QString& value) {
  for (const Heard& h : heard) {
    if (h.topic == topic && h.object.value(key).toVariant().toString() == value) {
      return true;
    }
  }
  return false;
}

}  // namespace kv::test
