#include "link/transports/serial_transport.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QTime>
#include <QtDebug>

#include "link/instrument_link.h"
#include "link/reply_rules.h"
#include "link/transports/event_wait.h"

namespace kv {

namespace {

QSerialPort::FlowControl FlowFor(std::int16_t handShake) {
  switch (handShake) {
    case 1:
      return QSerialPort::SoftwareControl;
    case 2:
    case 3:  // The port offers one mode at a time; RTS/CTS is the one that protects data.
      return QSerialPort::HardwareControl;
    default:
      return QSerialPort::NoFlowControl;
  }
}

bool IsReadFailure(QSerialPort::SerialPortError e) {
  return e == QSerialPort::ReadError || e == QSerialPort::ResourceError;
}

}  // namespace

QString SerialErrorLine(int code, const QString& description) {
  const QLocale locale = QLocale::system();
  return locale.toString(QDate::currentDate(), QLocale::ShortFormat) +
         locale.toString(QTime::currentTime(), QLocale::ShortFormat) + QLatin1Char(',') +
         QString::number(code) + QLatin1Char(',') + description;
}

SerialTransport::SerialTransport(MessageSink& sink) : sink_(sink) {
  // Between reads the port keeps what arrives; a load streaming without end
  // would grow that without bound. Past this the driver's own buffer fills,
  // and the next write discards both.
  port_.setReadBufferSize(static_cast<qint64>(kMaxReplyBytes) * 2);
}

void SerialTransport::LogError(QSerialPort::SerialPortError code,
                               const QString& description) const {
  qWarning().noquote() << SerialErrorLine(static_cast<int>(code), description);
}

bool SerialTransport::SerialOpen(const QString& deviceName, std::int32_t baudRate,
                                 std::int16_t handShake) {
  if (port_.isOpen()) {
    port_.close();
  }
  port_.clearError();
  port_.setPortName(deviceName);
  const bool configured = port_.setBaudRate(baudRate) && port_.setDataBits(QSerialPort::Data8) &&
                          port_.setParity(QSerialPort::NoParity) &&
                          port_.setStopBits(QSerialPort::OneStop) &&
                          port_.setFlowControl(FlowFor(handShake));
  if (!configured || !port_.open(QIODevice::ReadWrite)) {
    // The system's reason (errno's text) tells a missing device from one
    // this user may not open or one another program holds.
    const std::string cause =
        "cannot open " + deviceName.toStdString() + " (" + port_.errorString().toStdString() + ")";
    if (port_.isOpen()) {
      port_.close();
    }
    sink_.OnLinkFailure(LinkFailure::PortUnavailable, kCheckComPortMessage, cause);
    return false;
  }
  // Best effort: pseudo-terminals refuse both lines, and with RTS/CTS the
  // driver owns RTS. Neither stops a port that otherwise works.
  if (port_.flowControl() != QSerialPort::HardwareControl) {
    port_.setRequestToSend(true);
  }
  port_.setDataTerminalReady(true);
  port_.clearError();
  SerialWrite("REM");
  return true;
}

void SerialTransport::SerialWrite(std::string_view command) {
  lastWriteDelivered_ = false;
  port_.clearError();
  if (!port_.isOpen() && !port_.open(QIODevice::ReadWrite)) {
    LogError(port_.error(), port_.errorString());
    return;
  }
  if (!port_.clear(QSerialPort::Input)) {
    LogError(port_.error(), port_.errorString());
    return;
  }
  QByteArray line(command.data(), static_cast<qsizetype>(command.size()));
  line.append('\n');
  if (port_.write(line) != line.size()) {
    LogError(port_.error(), port_.errorString());
    return;
  }
  // Hand the bytes to the driver now rather than at the next event-loop pass.
  // A device that vanished fails here, not at the write into Qt's buffer.
  port_.flush();
  lastWriteDelivered_ = port_.error() == QSerialPort::NoError;
  if (!lastWriteDelivered_) {
    LogError(port_.error(), port_.errorString());
  }
}

std::string SerialTransport::SerialRead() {
  if (!port_.isOpen()) {
    return {};
  }
  port_.clearError();
  QByteArray collected;
  bool cut = false;
  // Keeps the first kMaxReplyBytes of the line; past them, drops what comes
  // until the line's LF (the read ends there) or the bound.
  const auto take = [&](const QByteArray& data) {
    if (cut) {
      return data.contains('\n');
    }
    collected += data;
    const auto cap = static_cast<qsizetype>(kMaxReplyBytes);
    const bool whole = collected.size() == cap + 1 && collected.endsWith('\n');
    if (collected.size() > cap && !whole) {
      const bool ended = collected.indexOf('\n', cap) >= 0;
      collected.truncate(cap);
      cut = true;
      sink_.ShowMessage(kReplyCutMessage);
      return ended;
    }
    return collected.endsWith('\n');
  };
  bool ended = take(port_.readAll());
  EventWait wait(readTimeoutMs_);
  wait.WakeOn(&port_, &QSerialPort::readyRead);
  wait.WakeOn(&port_, &QSerialPort::errorOccurred);
  wait.WakeOn(&port_, &QIODevice::aboutToClose);
  while (!ended && !wait.Expired() && port_.isOpen() && !IsReadFailure(port_.error())) {
    wait.WaitOnce();
    ended = take(port_.readAll());
  }
  if (IsReadFailure(port_.error())) {
    LogError(port_.error(), port_.errorString());
    return std::string(kErrRec);
  }
  return SerialReply(
      std::string_view(collected.constData(), static_cast<size_t>(collected.size())));
}

void SerialTransport::OpenInstrument(const LinkSettings& settings) {
  const std::string device = SerialDeviceName(settings.comPort);
  if (device.empty()) {
    return;
  }
  SerialOpen(QString::fromStdString(device), settings.baudRate, settings.handShake);
}

void SerialTransport::SerialClose() {
  if (port_.isOpen()) {
    port_.close();
  }
}

}  // namespace kv
