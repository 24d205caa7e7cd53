#pragma once
// A single-shot timer that fires at an absolute deadline on the monotonic
// clock. On Linux a timerfd armed with the deadline itself wakes the event
// loop within the scheduler's precision, not the millisecond a QTimer counts
// in; elsewhere (or when no timerfd can be made) a precise QTimer stands in.

#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;

namespace kv {

class DeadlineTimer : public QObject {
  Q_OBJECT

 public:
  explicit DeadlineTimer(QObject* parent = nullptr);
  ~DeadlineTimer() override;

  /// Now, in the nanoseconds deadlines are given in.
  static qint64 NowNs();

  /// Fires timeout() once at `deadlineNs` (at once when that is past),
  /// replacing any deadline armed before.
  void Start(qint64 deadlineNs);
  /// Disarms without waiting: a timeout not yet delivered is dropped.
  void Stop();
  bool IsActive() const { return active_; }

 signals:
  void timeout();

 private:
  void OnExpired();

  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer fallback_;
  bool active_ = false;
};

}  // namespace kv
