#include "link/transports/link_router.h"

#include <utility>

namespace kv {

namespace {

// The board the GPIB transport always uses, whatever the file says.
constexpr int kGpibBoard = 0;

}  // namespace

LinkRouter::LinkRouter(LinkSettings settings, MessageSink& sink, const QString& gpibLibraryPath)
    : settings_(std::move(settings)),
      serial_(sink),
      tcp_(sink),
      gpib_(gpibLibraryPath.isEmpty() ? std::make_unique<GpibTransport>()
                                      : std::make_unique<GpibTransport>(gpibLibraryPath)) {}

LinkRouter::~LinkRouter() = default;

void LinkRouter::OpenInstrument(std::int16_t mode) {
  switch (mode) {
    case kModeSerial: {
      const std::string device = SerialDeviceName(settings_.comPort);
      if (device.empty()) {
        return;
      }
      serial_.SerialOpen(QString::fromStdString(device), settings_.baudRate, settings_.handShake);
      return;
    }
    case kModeGpib:
      gpib_->Open(kGpibBoard, settings_.address);
      return;
    case kModeLan: {
      // A port outside 1..65535 cannot be reached; port 0 makes the attempt
      // fail the ordinary way.
      const int port = settings_.lanPort;
      tcp_.TcpOpen(QString::fromStdString(LanAddressText(settings_)),
                   static_cast<quint16>(port >= 1 && port <= 65535 ? port : 0));
      tcp_.TcpWrite("REM");
      return;
    }
    default:
      return;
  }
}

void LinkRouter::CloseInstrument() {
  switch (ConnectMode()) {
    case kModeSerial:
      serial_.SerialClose();
      return;
    case kModeGpib:
      gpib_->Close();
      return;
    case kModeLan:
      tcp_.TcpClose();
      return;
    default:
      return;
  }
}

void LinkRouter::WriteInstrument(std::string_view command) {
  switch (ConnectMode()) {
    case kModeSerial:
      serial_.SerialWrite(command);
      return;
    case kModeGpib:
      gpib_->Write(command);
      return;
    case kModeLan:
      tcp_.TcpWrite(command);
      return;
    default:
      return;
  }
}

std::string LinkRouter::ReadInstrument() {
  switch (ConnectMode()) {
    case kModeSerial:
      return serial_.SerialRead();
    case kModeGpib:
      return gpib_->Read();
    case kModeLan:
      return tcp_.ReadReply(kReplyWaitMs);
    default:
      return {};
  }
}

std::string LinkRouter::WaitRecvBuf(int timeoutMs) {
  if (ConnectMode() != kModeLan) {
    return {};
  }
  return tcp_.WaitRecvBuf(timeoutMs);
}

void LinkRouter::ClearRecvBuf() {
  tcp_.ClearRecvBuf();
}

}  // namespace kv
