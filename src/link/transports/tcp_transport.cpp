#include "link/transports/tcp_transport.h"

#include <QtDebug>
#include <algorithm>
#include <optional>
#include <utility>

#include "link/instrument_link.h"
#include "link/link_settings.h"
#include "link/transports/event_wait.h"

namespace kv {

namespace {

// A refused attempt is retried after this pause until the connect bound ends.
constexpr int kRetryPauseMs = 10;
// Every LAN write is followed by this pause so that a quick reply is in
// RecvBuf before the caller goes on.
constexpr double kWritePauseMs = 5.0;

// Why the attempts failed, in the words that follow "Connect Fail!": the
// last error the system gave, or none at all within the bound.
std::string ConnectCause(QAbstractSocket::SocketError error, const QString& reason, int boundMs) {
  const auto with = [&reason](const char* kind) {
    return std::string(kind) + " (" + reason.toStdString() + ")";
  };
  switch (error) {
    case QAbstractSocket::UnknownSocketError:
      return "timed out (no answer within " + QString::number(boundMs / 1000.0).toStdString() +
             " s)";
    case QAbstractSocket::ConnectionRefusedError:
      return with("refused");
    case QAbstractSocket::HostNotFoundError:
      return with("host not found");
    case QAbstractSocket::NetworkError:
      return with("unreachable");
    default:
      return with("failed");
  }
}

}  // namespace

TcpTransport::TcpTransport(MessageSink& sink, QObject* parent) : QObject(parent), sink_(sink) {
  connect(&socket_, &QTcpSocket::readyRead, this, &TcpTransport::OnReadyRead);
}

void TcpTransport::OnReadyRead() {
  const QByteArray chunk = socket_.readAll();
  std::optional<std::string> reply =
      arrivals_.Feed(std::string_view(chunk.constData(), static_cast<size_t>(chunk.size())));
  if (arrivals_.TakeCut()) {
    sink_.ShowMessage(kReplyCutMessage);
  }
  if (!reply) {
    return;
  }
  recvBuf_ = std::move(*reply);
  emit replyReceived();
}

bool TcpTransport::TcpOpen(const QString& address, quint16 port, int timeoutMs) {
  if (IsConnected()) {
    return true;
  }
  if (connecting_) {
    // Somebody inside our own wait asked again; the running attempt answers.
    return false;
  }
  connecting_ = true;
  socket_.abort();
  arrivals_.Clear();
  const int boundMs = timeoutMs < 0 ? connectTimeoutMs_ : timeoutMs;
  EventWait wait(boundMs);
  wait.WakeOn(&socket_, &QAbstractSocket::stateChanged);
  wait.WakeOn(&socket_, &QAbstractSocket::errorOccurred);
  wait.WakeOn(this, &TcpTransport::connectAborted);
  QAbstractSocket::SocketError lastError = QAbstractSocket::UnknownSocketError;
  QString lastReason;
  // A host name is looked up at every attempt; an address is used as it is.
  socket_.connectToHost(address, port);
  while (!IsConnected() && !wait.Expired() && !abortConnect_) {
    if (socket_.state() == QAbstractSocket::UnconnectedState) {
      lastError = socket_.error();
      lastReason = socket_.errorString();
      if (lastError == QAbstractSocket::HostNotFoundError) {
        break;  // The resolver's answer will not change within the bound.
      }
      // Refused or unreachable: pause briefly, then try again.
      EventWait pause(static_cast<int>(std::min<qint64>(kRetryPauseMs, wait.RemainingMs())));
      pause.WakeOn(this, &TcpTransport::connectAborted);
      pause.WaitOnce();
      if (wait.Expired() || abortConnect_) {
        break;
      }
      socket_.abort();
      socket_.connectToHost(address, port);
      continue;
    }
    wait.WaitOnce();
  }
  connecting_ = false;
  const bool aborted = std::exchange(abortConnect_, false);
  if (IsConnected() && !aborted) {
    // One short line per command: without this, Nagle's algorithm and the
    // load's delayed acknowledgement hold each line back by tens of ms.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
  }
  socket_.abort();
  if (!aborted) {
    sink_.OnLinkFailure(LinkFailure::ConnectFailed, kConnectFailMessage,
                        ConnectCause(lastError, lastReason, boundMs));
  }
  return false;
}

bool TcpTransport::AbortConnect() {
  if (!connecting_) {
    return false;
  }
  abortConnect_ = true;
  emit connectAborted();
  return true;
}

void TcpTransport::TcpWrite(std::string_view command) {
  lastWriteDelivered_ = false;
  bool written = false;
  if (IsConnected()) {
    // Whatever came unasked belongs to no query; the reply to this line is
    // the next one to arrive.
    socket_.readAll();
    arrivals_.Clear();
    recvBuf_.clear();
    QByteArray line(command.data(), static_cast<qsizetype>(command.size()));
    line.append("\r\n");
    written = socket_.write(line) == line.size();
    if (!written) {
      qWarning().noquote() << "LAN write failed:" << socket_.errorString();
    }
    socket_.flush();
  } else {
    sink_.OnLinkFailure(LinkFailure::ConnectionLost, kLostConnectMessage, "");
  }
  WaitMilliseconds(kWritePauseMs);
  // A load that had already closed its end takes the line into nothing; the
  // pause lets that close arrive, so a connection gone by now counts the line
  // as lost rather than delivered.
  lastWriteDelivered_ = written && IsConnected();
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

namespace {

// A port outside 1..65535 cannot be reached; port 0 makes the attempt fail
// the ordinary way.
quint16 LanPortOf(const LinkSettings& settings) {
  const int port = settings.lanPort;
  return static_cast<quint16>(port >= 1 && port <= 65535 ? port : 0);
}

}  // namespace

void TcpTransport::OpenInstrument(const LinkSettings& settings) {
  TcpOpen(QString::fromStdString(LanAddressText(settings)), LanPortOf(settings));
  TcpWrite("REM");
}

bool TcpTransport::Reconnect(const LinkSettings& settings, int timeoutMs) {
  if (!TcpOpen(QString::fromStdString(LanAddressText(settings)), LanPortOf(settings), timeoutMs)) {
    return false;
  }
  TcpWrite("REM");
  return IsConnected();
}

void TcpTransport::TcpClose() {
  arrivals_.Clear();
  socket_.close();
}

}  // namespace kv
