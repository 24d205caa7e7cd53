#include "sim/server/quit_on_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace kv {
namespace {

int gSignalFds[2] = {-1, -1};

// Only async-signal-safe work here: the event loop picks the byte up.
void OnSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(gSignalFds[0], &byte, 1);
}

}  // namespace

void QuitOnSignals() {
  if (gSignalFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalFds) != 0) {
    return;
  }
  auto* notifier =
      new QSocketNotifier(gSignalFds[1], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(gSignalFds[1], &byte, 1);
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace kv
