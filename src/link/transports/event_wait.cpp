#include "link/transports/event_wait.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

namespace kv {

EventWait::EventWait(int timeoutMs)
    : deadline_(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                              : QDeadlineTimer(timeoutMs, Qt::PreciseTimer)) {
  timer_.setSingleShot(true);
  // A coarse timer may fire several per cent early; the link's one-second
  // bounds are promises to the operator.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &loop_, &QEventLoop::quit);
}

EventWait::~EventWait() {
  for (const auto& c : connections_) {
    QObject::disconnect(c);
  }
}

void EventWait::WaitOnce() {
  if (!deadline_.isForever()) {
    const qint64 left = deadline_.remainingTime();
    if (left <= 0) {
      return;
    }
    timer_.start(static_cast<int>(std::min<qint64>(left, 24LL * 3600 * 1000)));
  }
  loop_.exec();
  timer_.stop();
}

void WaitMilliseconds(double ms) {
  QElapsedTimer started;
  started.start();
  // Whole milliseconds as a tick counter counts them: ends once the count has
  // moved on by more than `ms`.
  const qint64 limit = ms <= 0.0 ? 0 : static_cast<qint64>(std::floor(ms));
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  do {
    timer.start(static_cast<int>(std::max<qint64>(1, limit + 1 - started.elapsed())));
    loop.exec();
  } while (started.elapsed() <= limit);
}

}  // namespace kv
