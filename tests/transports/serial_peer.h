#pragma once
// The load's end of a pseudo-terminal pair: what it receives is recorded and
// answered by a LineResponder.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include "support/qt/line_responder.h"

namespace kv::test {

class SerialPeer : public QObject {
  Q_OBJECT

 public:
  SerialPeer();
  bool Open(const QString& path);
  LineResponder& Load() { return responder_; }
  void Send(const QByteArray& data);

 private:
  QSerialPort port_;
  LineResponder responder_;
};

}  // namespace kv::test
