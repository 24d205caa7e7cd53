#pragma once
// A real Mosquitto broker for the lab tests: its own generated configuration
// on a free loopback port, killed when it goes out of scope; and a
// mosquitto_sub that collects what the broker hands out.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <string>

namespace kv::test {

class BrokerProcess {
 public:
  ~BrokerProcess() { Kill(); }
  /// On `port` (0: a free one); returns once it listens, else why not.
  std::string Start(quint16 port = 0);
  /// SIGKILL: the broker vanishes without a word to its clients.
  void Kill();
  quint16 Port() const { return port_; }
  QString Url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port_); }

 private:
  QTemporaryDir dir_;
  QProcess process_;
  quint16 port_ = 0;
};

/// One message as mosquitto_sub printed it.
struct Heard {
  bool retained = false;
  QString topic;
  QJsonObject object;
};

class Subscriber {
 public:
  ~Subscriber() { process_.kill(), process_.waitForFinished(); }
  /// Subscribes to `filter` and returns once the subscription holds.
  bool Start(quint16 port, const QString& filter);
  /// Collects until `done` holds for what was heard (false after a bound).
  bool WaitFor(const std::function<bool(const QList<Heard>&)>& done);
  const QList<Heard>& HeardSoFar();

 private:
  QProcess process_;
  QByteArray out_;
  QList<Heard> heard_;
};

/// mosquitto_pub of one message to the broker on `port`.
bool PublishTo(quint16 port, const QString& topic, const QString& payload);

/// Whether `heard` holds a message on `topic` whose "key" is `value`.
bool HeardValue(const QList<Heard>& heard, const QString& topic, const QString& key,
                const QString& value);

}  // namespace kv::test
