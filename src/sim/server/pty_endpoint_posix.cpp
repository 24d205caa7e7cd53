#include "sim/server/pty_endpoint.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

namespace kv {

PtyEndpoint::PtyEndpoint(QObject* parent) : QObject(parent) {}

PtyEndpoint::~PtyEndpoint() {
  Close();
}

bool PtyEndpoint::Open(QString* error) {
  Close();
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(std::strerror(errno));
    master_ = slave_ = -1;
    return false;
  }
  termios tio{};
  if (::tcgetattr(slave_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  path_ = QString::fromLocal8Bit(name);
  notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadAvailable(); });
  return true;
}

void PtyEndpoint::ReadAvailable() {
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      emit received(QByteArray(buf, static_cast<qsizetype>(n)));
      if (master_ < 0) {
        return;  // a handler hung up
      }
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      return;
    }
    // EIO: no client has the port open; that is not an end for us.
    return;
  }
}

void PtyEndpoint::Write(const QByteArray& bytes) {
  if (master_ < 0) {
    return;
  }
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::write(master_, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      // A full buffer means nobody reads the port; the reply is lost, as on a wire.
      return;
    }
    done += n;
  }
}

void PtyEndpoint::Close() {
  if (notifier_ != nullptr) {
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
  }
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
  if (slave_ >= 0) {
    ::close(slave_);
    slave_ = -1;
  }
}

}  // namespace kv
