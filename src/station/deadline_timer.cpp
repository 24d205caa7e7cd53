#include "station/deadline_timer.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cstdint>

#include "base/tick_deadline.h"

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

namespace kv {

DeadlineTimer::DeadlineTimer(QObject* parent) : QObject(parent) {
#ifdef Q_OS_LINUX
  fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ >= 0) {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &DeadlineTimer::OnExpired);
    return;
  }
#endif
  fallback_.setTimerType(Qt::PreciseTimer);
  fallback_.setSingleShot(true);
  connect(&fallback_, &QTimer::timeout, this, &DeadlineTimer::OnExpired);
}

DeadlineTimer::~DeadlineTimer() {
  notifier_.reset();
#ifdef Q_OS_LINUX
  if (fd_ >= 0) {
    ::close(fd_);
  }
#endif
}

qint64 DeadlineTimer::NowNs() {
#ifdef Q_OS_LINUX
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return qint64{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
#else
  static const QElapsedTimer since = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return since.nsecsElapsed();
#endif
}

void DeadlineTimer::Start(qint64 deadlineNs) {
  active_ = true;
#ifdef Q_OS_LINUX
  if (fd_ >= 0) {
    const DeadlineSpec at = AbsoluteDeadline(deadlineNs);
    itimerspec due{};
    due.it_value.tv_sec = static_cast<time_t>(at.seconds);
    due.it_value.tv_nsec = static_cast<long>(at.nanoseconds);
    // Re-arming also clears an expiry of the old deadline not yet read.
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &due, nullptr);
    return;
  }
#endif
  fallback_.start(MillisecondsUntil(deadlineNs, NowNs()));
}

void DeadlineTimer::Stop() {
  active_ = false;
#ifdef Q_OS_LINUX
  if (fd_ >= 0) {
    const itimerspec off{};
    ::timerfd_settime(fd_, 0, &off, nullptr);
    return;
  }
#endif
  fallback_.stop();
}

void DeadlineTimer::OnExpired() {
#ifdef Q_OS_LINUX
  if (fd_ >= 0) {
    std::uint64_t expiries = 0;
    if (::read(fd_, &expiries, sizeof expiries) != sizeof expiries) {
      return;  // nothing expired: the deadline was moved or stopped meanwhile
    }
  }
#endif
  if (active_) {
    active_ = false;
    emit timeout();
  }
}

}  // namespace kv
