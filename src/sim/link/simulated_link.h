#pragma once
// The simulated load in-process, behind the link contract: what the headless
// runner uses for "--sim". Model time follows the given clock, so a run under
// a fake clock is as deterministic as the model itself. Replies go through
// the read rule of the carrier the link pretends to be, as the real
// transports read them.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "link/instrument_link.h"
#include "link/reply_rules.h"
#include "link/transport.h"
#include "sim/simulated_load.h"

namespace kv {

class SimulatedLink : public InstrumentLink, public Transport {
 public:
  /// `load` and `clock` must outlive the link. `mode` is what ConnectMode()
  /// reports: serial (and GPIB) read the reply of the last query, LAN fills
  /// RecvBuf as the TCP transport does.
  SimulatedLink(SimulatedLoad& load, const Clock& clock, std::int16_t mode = kModeSerial);

  void OpenInstrument(std::int16_t mode) override;
  /// As a transport: opens on the carrier the link was made for.
  void OpenInstrument(const LinkSettings& settings) override;
  void CloseInstrument() override;
  void WriteInstrument(std::string_view command) override;
  std::string ReadInstrument() override;
  std::int16_t ConnectMode() const override { return mode_; }
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override { recvBuf_.clear(); }

  /// Model time now: milliseconds of the clock since the link was made.
  std::int64_t ModelMs() const;
  SimulatedLoad& Load() { return load_; }

 private:
  SimulatedLoad& load_;
  const Clock& clock_;
  std::int64_t startMs_;
  std::int16_t mode_;
  bool open_ = false;
  std::string unread_;  // serial/GPIB: the reply bytes nobody has read yet
  LanReplyAssembler arrivals_;
  std::string recvBuf_;
};

}  // namespace kv
