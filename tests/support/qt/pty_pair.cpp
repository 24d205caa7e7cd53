#include "support/qt/pty_pair.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace kv::test {

PtyPair::~PtyPair() {
  if (socat_.state() != QProcess::NotRunning) {
    socat_.kill();
    socat_.waitForFinished(3000);
  }
}

bool PtyPair::Start(int timeoutMs) {
  socat_.setProcessChannelMode(QProcess::SeparateChannels);
  socat_.setReadChannel(QProcess::StandardError);
  // -d -d makes socat name both terminals and say when it starts copying.
  socat_.start(QStringLiteral("socat"),
               {QStringLiteral("-d"), QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0"),
                QStringLiteral("pty,raw,echo=0")});
  if (!socat_.waitForStarted(timeoutMs)) {
    error_ = socat_.errorString();
    return false;
  }
  static const QRegularExpression kPty(QStringLiteral("PTY is (\\S+)"));
  QByteArray log;
  QDeadlineTimer deadline(timeoutMs);
  while (!log.contains("starting data transfer loop")) {
    if (deadline.hasExpired() ||
        !socat_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      error_ = QString::fromLocal8Bit(log);
      return false;
    }
    log += socat_.readAllStandardError();
  }
  auto it = kPty.globalMatch(QString::fromLocal8Bit(log));
  if (it.hasNext()) {
    near_ = it.next().captured(1);
  }
  if (it.hasNext()) {
    far_ = it.next().captured(1);
  }
  if (near_.isEmpty() || far_.isEmpty()) {
    error_ = QString::fromLocal8Bit(log);
    return false;
  }
  return true;
}

}  // namespace kv::test
