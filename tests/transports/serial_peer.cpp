#include "transports/serial_peer.h"

namespace kv::test {

SerialPeer::SerialPeer() : responder_([this](const QByteArray& data) { Send(data); }) {
  connect(&port_, &QSerialPort::readyRead, this, [this] { responder_.Feed(port_.readAll()); });
}

bool SerialPeer::Open(const QString& path) {
  port_.setPortName(path);
  port_.setBaudRate(115200);
  return port_.open(QIODevice::ReadWrite);
}

void SerialPeer::Send(const QByteArray& data) {
  port_.write(data);
  port_.flush();
}

}  // namespace kv::test
