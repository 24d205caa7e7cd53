#pragma once
// Waiting for the load without freezing the program: each wait runs a local
// event loop that a signal (data arrived, connected, error) or a precise
// single-shot timer ends. Nothing here polls, so a wait costs no CPU.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

namespace kv {

class EventWait {
 public:
  /// The whole wait may last `timeoutMs` (a negative value: no bound).
  explicit EventWait(int timeoutMs);
  ~EventWait();
  EventWait(const EventWait&) = delete;
  EventWait& operator=(const EventWait&) = delete;

  /// Any emission of `signal` ends the current WaitOnce().
  template <typename Sender, typename Signal>
  void WakeOn(const Sender* sender, Signal signal) {
    connections_.append(QObject::connect(sender, signal, &loop_, &QEventLoop::quit));
  }

  /// Runs the event loop until a wake-up signal or the end of the bound.
  /// Callers re-check their own condition afterwards: a wake-up is a hint.
  void WaitOnce();
  bool Expired() const { return deadline_.hasExpired(); }
  qint64 RemainingMs() const { return deadline_.remainingTime(); }

 private:
  QDeadlineTimer deadline_;
  QEventLoop loop_;
  QTimer timer_;
  QList<QMetaObject::Connection> connections_;
};

/// Keeps the program responsive for strictly more than `ms` milliseconds
/// (at least 1 ms for ms <= 0). Other handlers, timers included, run inside.
void WaitMilliseconds(double ms);

}  // namespace kv
