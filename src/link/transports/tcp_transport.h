#pragma once
// The load on a LAN: a TCP client. Lines go out with CR LF; replies arrive by
// themselves and land in RecvBuf, one whole line at a time.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/instrument_link.h"
#include "link/message_sink.h"
#include "link/reply_rules.h"
#include "link/transport.h"

namespace kv {

class TcpTransport : public QObject, public Transport {
  Q_OBJECT

 public:
  /// `sink` shows the connection messages; it must outlive the transport.
  explicit TcpTransport(MessageSink& sink, QObject* parent = nullptr);

  /// Keeps an existing connection; otherwise keeps trying to connect to
  /// `address` (an IP address or a host name) for the connect bound while the
  /// event loop runs, then shows kConnectFailMessage with the cause: refused,
  /// unreachable, host not found (said at once) or timed out.
  /// Returns whether the socket is connected.
  /// `timeoutMs` < 0: the connect bound.
  bool TcpOpen(const QString& address, quint16 port, int timeoutMs = -1);
  /// Drops unread data and RecvBuf, sends `command` + CR LF and pauses 5 ms;
  /// while not connected shows kLostConnectMessage instead of sending.
  void TcpWrite(std::string_view command);
  void TcpClose();
  /// Ends a TcpOpen in progress at once, without kConnectFailMessage: the
  /// user gave up (a signal), so nothing failed. Returns whether an attempt
  /// was in progress; without one it does nothing.
  bool AbortConnect();

  /// The reply to the last write: RecvBuf at once when it holds one, else
  /// waits up to `timeoutMs` for it; "ErrRec" when none comes.
  std::string ReadReply(int timeoutMs);
  /// LanIP1..4 and LanPort, then "REM" whatever the outcome.
  void OpenInstrument(const LinkSettings& settings) override;
  void CloseInstrument() override { TcpClose(); }
  void WriteInstrument(std::string_view command) override { TcpWrite(command); }
  /// ReadReply with the read bound.
  std::string ReadInstrument() override { return ReadReply(kReplyWaitMs); }
  /// Waits up to `timeoutMs` until RecvBuf is not empty; returns it (without
  /// emptying it), "" when the bound passed.
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override { recvBuf_.clear(); }
  /// Connects within `timeoutMs`, then "REM"; nothing is written when the
  /// load cannot be reached (its "Lost Connect!" would tell nothing new).
  bool Reconnect(const LinkSettings& settings, int timeoutMs) override;
  bool LastWriteDelivered() const override { return lastWriteDelivered_; }

  const std::string& RecvBuf() const { return recvBuf_; }

  bool IsConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
  /// How long TcpOpen keeps trying; about ten seconds unless a test shortens it.
  void SetConnectTimeoutMs(int ms) { connectTimeoutMs_ = ms; }

 signals:
  /// A whole reply line arrived and is now in RecvBuf.
  void replyReceived();
  /// AbortConnect() was called during TcpOpen.
  void connectAborted();

 private:
  void OnReadyRead();
  std::string WaitForReply(int timeoutMs);

  MessageSink& sink_;
  QTcpSocket socket_;
  LanReplyAssembler arrivals_;
  std::string recvBuf_;
  int connectTimeoutMs_ = 10000;
  bool connecting_ = false;
  bool lastWriteDelivered_ = false;
  bool abortConnect_ = false;
};

}  // namespace kv
