#include "link/transports/tcp_transport.h"

#include <QHostAddress>
#include <QtDebug>
#include <algorithm>

#include "link/instrument_link.h"
#include "link/transports/event_wait.h"

namespace kv {

namespace {

// A refused attempt is retried after this pause until the connect bound ends.
constexpr int kRetryPauseMs = 10;
// Every LAN write is followed by this pause so that a quick reply is in
// RecvBuf before the caller goes on.
constexpr double kWritePauseMs = 5.0;

}  // namespace

TcpTransport::TcpTransport(MessageSink& sink, QObject* parent) : QObject(parent), sink_(sink) {
  connect(&socket_, &QTcpSocket::readyRead, this, &TcpTransport::OnReadyRead);
}

void TcpTransport::OnReadyRead() {
  partial_ += socket_.readAll();
  const qsizetype lastLf = partial_.lastIndexOf('\n');
  if (lastLf < 0) {
    return;
  }
  // Of several whole lines only the newest counts: RecvBuf holds one reply,
  // and a newer one replaces an older that nobody took.
  const qsizetype prevLf = partial_.lastIndexOf('\n', lastLf - 1);
  const QByteArray line = partial_.mid(prevLf + 1, lastLf - prevLf);
  partial_.remove(0, lastLf + 1);
  recvBuf_ = TrimReply(std::string_view(line.constData(), static_cast<size_t>(line.size())));
  emit replyReceived();
}

bool TcpTransport::TcpOpen(const QString& address, quint16 port) {
  if (IsConnected()) {
    return true;
  }
  if (connecting_) {
    // Somebody inside our own wait asked again; the running attempt answers.
    return false;
  }
  connecting_ = true;
  socket_.abort();
  partial_.clear();
  const QHostAddress host(address);
  EventWait wait(connectTimeoutMs_);
  wait.WakeOn(&socket_, &QAbstractSocket::stateChanged);
  wait.WakeOn(&socket_, &QAbstractSocket::errorOccurred);
  socket_.connectToHost(host, port);
  while (!IsConnected() && !wait.Expired()) {
    if (socket_.state() == QAbstractSocket::UnconnectedState) {
      // Refused or unreachable: pause briefly, then try again.
      EventWait pause(static_cast<int>(std::min<qint64>(kRetryPauseMs, wait.RemainingMs())));
      pause.WaitOnce();
      if (wait.Expired()) {
        break;
      }
      socket_.abort();
      socket_.connectToHost(host, port);
      continue;
    }
    wait.WaitOnce();
  }
  connecting_ = false;
  if (IsConnected()) {
    // One short line per command: without this, Nagle's algorithm and the
    // load's delayed acknowledgement hold each line back by tens of ms.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
  }
  socket_.abort();
  sink_.ShowMessage(kConnectFailMessage);
  return false;
}

void TcpTransport::TcpWrite(std::string_view command) {
  if (IsConnected()) {
    // Whatever came unasked belongs to no query; the reply to this line is
    // the next one to arrive.
    socket_.readAll();
    partial_.clear();
    recvBuf_.clear();
    QByteArray line(command.data(), static_cast<qsizetype>(command.size()));
    line.append("\r\n");
    if (socket_.write(line) != line.size()) {
      qWarning().noquote() << "LAN write failed:" << socket_.errorString();
    }
    socket_.flush();
  } else {
    sink_.ShowMessage(kLostConnectMessage);
  }
  WaitMilliseconds(kWritePauseMs);
}

std::string TcpTransport::WaitForReply(int timeoutMs) {
  EventWait wait(timeoutMs);
  wait.WakeOn(this, &TcpTransport::replyReceived);
  wait.WakeOn(&socket_, &QAbstractSocket::stateChanged);
  while (recvBuf_.empty() && IsConnected() && !wait.Expired()) {
    wait.WaitOnce();
  }
  return recvBuf_;
}

std::string TcpTransport::ReadReply(int timeoutMs) {
  std::string reply = WaitForReply(timeoutMs);
  return reply.empty() ? std::string(kErrRec) : reply;
}

std::string TcpTransport::WaitRecvBuf(int timeoutMs) {
  return WaitForReply(timeoutMs);
}

void TcpTransport::TcpClose() {
  partial_.clear();
  socket_.close();
}

}  // namespace kv
