#pragma once
// SIGINT, SIGTERM and SIGHUP as Qt signals. A handler may do next to nothing, so it
// writes the signal's number into a pipe and the event loop reads it there;
// the runner then stops the load from ordinary code. On Windows the console's
// Ctrl+C, Ctrl+Break and closing (also log-off and shut-down) arrive the same
// way, as SIGINT, SIGBREAK and SIGTERM.

#include <QObject>
#include <string>

class QSocketNotifier;

namespace kv {

/// How a message names a signal received(): "SIGINT", or "Ctrl+C" on Windows.
std::string SignalName(int signalNumber);

class ProcessSignals : public QObject {
  Q_OBJECT
 public:
  /// Installs the handlers; one instance per process. SIGPIPE is ignored from
  /// here on: a reader that goes away must not end a run with the load on.
  explicit ProcessSignals(QObject* parent = nullptr);
  ~ProcessSignals() override;
  ProcessSignals(const ProcessSignals&) = delete;
  ProcessSignals& operator=(const ProcessSignals&) = delete;

 signals:
  void received(int signalNumber);

 private:
  void OnReadable();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kv
