#include "station/sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

namespace kv {

namespace {

// A bus that does not answer must not hold up the start of a run for long.
constexpr int kCallTimeoutMs = 2000;
const QString kConnectionName = QStringLiteral("kvload-sleep-inhibitor");

}  // namespace

// The lock is the descriptor: the last close of it lets the computer sleep.
struct SleepInhibitor::Lock {
  QDBusUnixFileDescriptor fd;
};

SleepInhibitor::SleepInhibitor(QString busAddress, QObject* parent)
    : QObject(parent), busAddress_(std::move(busAddress)) {}

SleepInhibitor::~SleepInhibitor() {
  Release();
}

bool SleepInhibitor::Acquire(const QString& why, QString* error) {
  if (IsHeld()) {
    return true;
  }
  QDBusConnection bus = busAddress_.isEmpty()
                            ? QDBusConnection::systemBus()
                            : QDBusConnection::connectToBus(busAddress_, kConnectionName);
  auto fail = [&](const QString& reason) {
    if (error != nullptr) {
      *error = QStringLiteral("The computer may sleep during the run: ") + reason;
    }
    return false;
  };
  if (!bus.isConnected()) {
    const QString reason = bus.lastError().message();
    if (!busAddress_.isEmpty()) {
      QDBusConnection::disconnectFromBus(kConnectionName);
    }
    return fail(reason.isEmpty() ? QStringLiteral("no system bus") : reason);
  }
  QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                         QStringLiteral("/org/freedesktop/login1"),
                         QStringLiteral("org.freedesktop.login1.Manager"), bus);
  manager.setTimeout(kCallTimeoutMs);
  const QDBusReply<QDBusUnixFileDescriptor> reply =
      manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep:idle"),
                   QStringLiteral("kvload"), why, QStringLiteral("block"));
  if (!reply.isValid()) {
    return fail(reply.error().message());
  }
  if (!reply.value().isValid()) {
    return fail(QStringLiteral("the login manager gave no lock"));
  }
  lock_ = std::make_unique<Lock>(Lock{reply.value()});
  return true;
}

void SleepInhibitor::Release() {
  lock_.reset();
}

}  // namespace kv
