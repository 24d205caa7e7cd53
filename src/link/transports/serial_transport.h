#pragma once
// The load on a serial line (RS-232 or a USB virtual COM port). Lines go out
// with LF; a reply is read until LF or for at most one second.

#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/instrument_link.h"
#include "link/message_sink.h"
#include "link/transport.h"

namespace kv {

class SerialTransport : public Transport {
 public:
  /// `sink` shows the open failure; it must outlive the transport.
  explicit SerialTransport(MessageSink& sink);

  /// (Re)opens `deviceName` at `baudRate`,n,8,1 with `handShake` (0 none,
  /// 1 XON/XOFF, 2 RTS/CTS, 3 both) and writes "REM". A port that cannot be
  /// opened or configured shows kCheckComPortMessage and stays closed.
  bool SerialOpen(const QString& deviceName, std::int32_t baudRate, std::int16_t handShake);
  /// Sends `command` + LF after discarding unread input; reopens a closed port
  /// with its current settings first. Failures go to the error log only.
  void SerialWrite(std::string_view command);
  /// One reply, trimmed of CR LF / LF; "ErrRec" when fewer than two characters
  /// came within the bound; "" when the port is closed.
  std::string SerialRead();
  void SerialClose();

  /// COMPort names the device; one that names none (no number above 0, no
  /// device path) opens nothing and shows nothing.
  void OpenInstrument(const LinkSettings& settings) override;
  void CloseInstrument() override { SerialClose(); }
  void WriteInstrument(std::string_view command) override { SerialWrite(command); }
  std::string ReadInstrument() override { return SerialRead(); }
  bool Reconnect(const LinkSettings& settings, int /*timeoutMs*/) override {
    OpenInstrument(settings);
    return IsOpen();
  }

  bool IsOpen() const { return port_.isOpen(); }
  bool LastWriteDelivered() const override { return lastWriteDelivered_; }
  QString PortName() const { return port_.portName(); }
  /// The read bound, one second unless a test shortens it.
  void SetReadTimeoutMs(int ms) { readTimeoutMs_ = ms; }

 private:
  void LogError(QSerialPort::SerialPortError code, const QString& description) const;

  MessageSink& sink_;
  QSerialPort port_;
  int readTimeoutMs_ = kReplyWaitMs;
  bool lastWriteDelivered_ = false;
};

/// The error line of a failed serial operation: the local short date and time
/// run together, the error number and its description, joined by ",".
QString SerialErrorLine(int code, const QString& description);

}  // namespace kv
