#pragma once
// The link as the rest of the program sees it: every operation goes to the
// serial, GPIB or LAN transport that ConnectMode names; any other mode does
// nothing and reads "".

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "link/instrument_link.h"
#include "link/link_settings.h"
#include "link/message_sink.h"
#include "link/transport.h"
#include "link/transports/gpib_transport.h"
#include "link/transports/serial_transport.h"
#include "link/transports/tcp_transport.h"

namespace kv {

class LinkRouter : public InstrumentLink {
 public:
  /// `sink` shows the link's messages and must outlive the router. An empty
  /// `gpibLibraryPath` tries the usual NI-488.2 library names.
  LinkRouter(LinkSettings settings, MessageSink& sink, const QString& gpibLibraryPath = {});
  ~LinkRouter() override;

  /// New settings take effect at the next OpenInstrument; the transport that
  /// ConnectMode names takes every other operation at once.
  void SetSettings(const LinkSettings& settings);
  const LinkSettings& Settings() const { return settings_; }

  void OpenInstrument(std::int16_t mode) override;
  void CloseInstrument() override;
  void WriteInstrument(std::string_view command) override;
  std::string ReadInstrument() override;
  std::int16_t ConnectMode() const override { return settings_.connectMode; }
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override;
  /// The transport of ConnectMode; a mode that names none stays unreachable.
  bool Reconnect(int timeoutMs) override;
  /// False with no carrier: a line for a mode that names none went nowhere.
  bool LastWriteDelivered() const override {
    return active_ != nullptr && active_->LastWriteDelivered();
  }

  /// The transport ConnectMode names; null when it names none.
  Transport* Active() const { return active_; }

  SerialTransport& Serial() { return serial_; }
  TcpTransport& Tcp() { return tcp_; }
  GpibTransport& Gpib() { return *gpib_; }

 private:
  /// The transport of `mode`; null for a mode that names none.
  Transport* TransportFor(std::int16_t mode);

  LinkSettings settings_;
  SerialTransport serial_;
  TcpTransport tcp_;
  std::unique_ptr<GpibTransport> gpib_;
  Transport* active_ = nullptr;
};

}  // namespace kv
