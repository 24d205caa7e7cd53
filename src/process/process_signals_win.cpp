#include <windows.h>

#include <QMetaObject>
#include <atomic>
#include <csignal>

#include "process/process_signals.h"

namespace kv {

namespace {

std::atomic<ProcessSignals*> gInstance{nullptr};
// Set once the instance goes, that is when the program ends after its run;
// never closed, as a handler thread may still wait on it.
HANDLE gGone = nullptr;

// Windows ends the process once the handler of a closing console returns, or
// after 5 s: the handler holds it until the run has switched the load off.
constexpr DWORD kCloseGraceMs = 4500;

int SignalFor(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return SIGINT;
    case CTRL_BREAK_EVENT:
      return SIGBREAK;
    default:
      return SIGTERM;  // the console closing, log-off, shut-down
  }
}

// Runs on a thread of its own that Windows starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  ProcessSignals* target = gInstance.load();
  if (target == nullptr) {
    return FALSE;
  }
  const int number = SignalFor(event);
  QMetaObject::invokeMethod(
      target, [target, number] { emit target->received(number); }, Qt::QueuedConnection);
  if (number == SIGTERM) {
    ::WaitForSingleObject(gGone, kCloseGraceMs);
  }
  return TRUE;
}

}  // namespace

ProcessSignals::ProcessSignals(QObject* parent) : QObject(parent) {
  ProcessSignals* none = nullptr;
  if (!gInstance.compare_exchange_strong(none, this)) {
    return;
  }
  gGone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

ProcessSignals::~ProcessSignals() {
  if (gInstance.load() != this) {
    return;
  }
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  gInstance.store(nullptr);
  ::SetEvent(gGone);
}

void ProcessSignals::OnReadable() {}

std::string SignalName(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return "Ctrl+C";
    case SIGBREAK:
      return "Ctrl+Break";
    case SIGTERM:
      return "the console closing";
    default:
      return "signal " + std::to_string(signalNumber);
  }
}

}  // namespace kv
