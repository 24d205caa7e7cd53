#pragma once
// Keeps the computer awake while a run goes on: a "sleep:idle" block lock
// from the login manager, held as an open file descriptor and released by
// closing it. Without a login manager (a container, a test) taking it fails
// with a reason and the run goes on. On Windows the lock is the thread's
// execution state (sleep_inhibitor_win.cpp).

#include <QObject>
#include <QString>
#include <memory>

namespace kv {

class SleepInhibitor : public QObject {
  Q_OBJECT

 public:
  /// `busAddress` "" is the system bus; tests give another address.
  explicit SleepInhibitor(QString busAddress = {}, QObject* parent = nullptr);
  ~SleepInhibitor() override;

  /// True when the lock is held (also when it already was); otherwise false
  /// with the reason in `error`.
  bool Acquire(const QString& why, QString* error);
  void Release();
  bool IsHeld() const { return lock_ != nullptr; }

 public slots:
  /// Connect to Station::runningChanged: taken at a run's start, released at
  /// its end; a failure to take it is reported by failed().
  void SetRunning(bool running);

 signals:
  void failed(const QString& error);

 private:
  struct Lock;  // the system's form of the lock, released by its destructor

  QString busAddress_;
  std::unique_ptr<Lock> lock_;
};

}  // namespace kv
