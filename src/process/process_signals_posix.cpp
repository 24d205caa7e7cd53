#include "process/process_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace kv {

namespace {

int gFds[2] = {-1, -1};

// Only async-signal-safe calls here.
void OnSignal(int signalNumber) {
  const char byte = static_cast<char>(signalNumber);
  [[maybe_unused]] const ssize_t n = ::write(gFds[0], &byte, 1);
}

void SetHandler(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signalNumber, &action, nullptr);
}

}  // namespace

ProcessSignals::ProcessSignals(QObject* parent) : QObject(parent) {
  SetHandler(SIGPIPE, SIG_IGN);
  if (gFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gFds) != 0) {
    return;
  }
  notifier_ = new QSocketNotifier(gFds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &ProcessSignals::OnReadable);
  SetHandler(SIGINT, OnSignal);
  SetHandler(SIGTERM, OnSignal);
  // A closed terminal or SSH session must not leave the load on.
  SetHandler(SIGHUP, OnSignal);
}

ProcessSignals::~ProcessSignals() {
  if (notifier_ == nullptr) {
    return;
  }
  SetHandler(SIGINT, SIG_DFL);
  SetHandler(SIGTERM, SIG_DFL);
  SetHandler(SIGHUP, SIG_DFL);
  delete notifier_;
  notifier_ = nullptr;
  ::close(gFds[0]);
  ::close(gFds[1]);
  gFds[0] = gFds[1] = -1;
}

std::string SignalName(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(signalNumber);
  }
}

void ProcessSignals::OnReadable() {
  char byte = 0;
  if (::read(gFds[1], &byte, 1) == 1) {
    emit received(static_cast<int>(static_cast<unsigned char>(byte)));
  }
}

}  // namespace kv
