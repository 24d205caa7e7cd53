#pragma once
// A load on 127.0.0.1 for transport and station tests: one client at a time,
// lines recorded and answered by a LineResponder.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "support/qt/line_responder.h"

namespace kv::test {

class LoopbackServer : public QObject {
  Q_OBJECT

 public:
  explicit LoopbackServer(QObject* parent = nullptr);

  /// Listens on 127.0.0.1 at `port`, or at a free port when it is 0.
  bool Listen(quint16 port = 0);
  quint16 Port() const { return server_.serverPort(); }
  /// A loopback port nobody listens on: one just given up by a listener.
  static quint16 UnusedPort();
  /// Stops listening and drops the client.
  void Close();

  LineResponder& Load() { return responder_; }
  /// Sends `data` to the connected client now.
  void Send(const QByteArray& data);
  int Connections() const { return connections_; }

 signals:
  void clientConnected();

 private:
  void OnNewConnection();

  QTcpServer server_;
  QPointer<QTcpSocket> client_;
  LineResponder responder_;
  int connections_ = 0;
};

}  // namespace kv::test
