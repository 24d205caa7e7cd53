#include "station/sleep_inhibitor.h"

namespace kv {

// What a run asks of the lock is the same on every system; only taking and
// giving it back differ.
void SleepInhibitor::SetRunning(bool running) {
  if (!running) {
    Release();
    return;
  }
  QString error;
  if (!Acquire(QStringLiteral("A test run is in progress"), &error)) {
    emit failed(error);
  }
}

}  // namespace kv
