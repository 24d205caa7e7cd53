#include "link/transports/link_router.h"

#include <utility>

namespace kv {

LinkRouter::LinkRouter(LinkSettings settings, MessageSink& sink, const QString& gpibLibraryPath)
    : settings_(std::move(settings)),
      serial_(sink),
      tcp_(sink),
      gpib_(std::make_unique<GpibTransport>(sink, gpibLibraryPath)) {
  active_ = TransportFor(settings_.connectMode);
}

LinkRouter::~LinkRouter() = default;

void LinkRouter::SetSettings(const LinkSettings& settings) {
  settings_ = settings;
  active_ = TransportFor(settings_.connectMode);
}

Transport* LinkRouter::TransportFor(std::int16_t mode) {
  switch (mode) {
    case kModeSerial:
      return &serial_;
    case kModeGpib:
      return gpib_.get();
    case kModeLan:
      return &tcp_;
    default:
      return nullptr;
  }
}

// Open alone takes its mode from the caller; every caller passes ConnectMode.
void LinkRouter::OpenInstrument(std::int16_t mode) {
  if (Transport* t = TransportFor(mode)) {
    t->OpenInstrument(settings_);
  }
}

void LinkRouter::CloseInstrument() {
  if (active_ != nullptr) {
    active_->CloseInstrument();
  }
}

void LinkRouter::WriteInstrument(std::string_view command) {
  if (active_ != nullptr) {
    active_->WriteInstrument(command);
  }
}

std::string LinkRouter::ReadInstrument() {
  return active_ != nullptr ? active_->ReadInstrument() : std::string();
}

std::string LinkRouter::WaitRecvBuf(int timeoutMs) {
  return active_ != nullptr ? active_->WaitRecvBuf(timeoutMs) : std::string();
}

void LinkRouter::ClearRecvBuf() {
  if (active_ != nullptr) {
    active_->ClearRecvBuf();
  }
}

bool LinkRouter::Reconnect(int timeoutMs) {
  Transport* t = TransportFor(settings_.connectMode);
  return t != nullptr && t->Reconnect(settings_, timeoutMs);
}

}  // namespace kv
