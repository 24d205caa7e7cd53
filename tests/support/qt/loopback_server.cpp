#include "support/qt/loopback_server.h"

#include <QHostAddress>

namespace kv::test {

LoopbackServer::LoopbackServer(QObject* parent)
    : QObject(parent), responder_([this](const QByteArray& data) { Send(data); }) {
  connect(&server_, &QTcpServer::newConnection, this, &LoopbackServer::OnNewConnection);
}

bool LoopbackServer::Listen(quint16 port) {
  return server_.listen(QHostAddress::LocalHost, port);
}

quint16 LoopbackServer::UnusedPort() {
  LoopbackServer gone;
  return gone.Listen() ? gone.Port() : 0;
}

void LoopbackServer::Close() {
  server_.close();
  if (client_) {
    client_->abort();
  }
}

void LoopbackServer::Send(const QByteArray& data) {
  if (client_) {
    client_->write(data);
    client_->flush();
  }
}

void LoopbackServer::OnNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    // One load serves one client: a newer connection replaces the older.
    if (client_) {
      client_->abort();
      client_->deleteLater();
    }
    client_ = socket;
    socket->setParent(this);
    // Disable Nagle so that a reply sent in chunks arrives in chunks.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    responder_.ResetPartialLine();
    ++connections_;
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
      if (socket == client_) {
        responder_.Feed(socket->readAll());
      }
    });
    emit clientConnected();
  }
}

}  // namespace kv::test
