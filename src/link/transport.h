#pragma once
// One carrier of the link contract: the serial line, GPIB, the LAN, or the
// simulated load in-process. LinkRouter hands every operation to the one that
// ConnectMode names, so the carriers share names and meaning.

#include <string>
#include <string_view>

#include "link/link_settings.h"

namespace kv {

class Transport {
 public:
  virtual ~Transport() = default;

  /// Opens with the carrier's part of `settings`; the serial and LAN carriers
  /// then write "REM". Failures go to the carrier's message sink.
  virtual void OpenInstrument(const LinkSettings& settings) = 0;
  virtual void CloseInstrument() = 0;
  /// One line; the carrier adds its own terminator.
  virtual void WriteInstrument(std::string_view command) = 0;
  /// The reply to the last line, by the carrier's read rule.
  virtual std::string ReadInstrument() = 0;
  /// InstrumentLink::LastWriteDelivered for this carrier.
  virtual bool LastWriteDelivered() const { return true; }
  /// LAN measurement poll (bounded); carriers without RecvBuf return "".
  virtual std::string WaitRecvBuf(int /*timeoutMs*/) { return {}; }
  virtual void ClearRecvBuf() {}
  /// InstrumentLink::Reconnect for this carrier.
  virtual bool Reconnect(const LinkSettings& settings, int /*timeoutMs*/) {
    OpenInstrument(settings);
    return true;
  }
};

}  // namespace kv
