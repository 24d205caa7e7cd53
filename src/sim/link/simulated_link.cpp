#include "sim/link/simulated_link.h"

#include <optional>
#include <utility>

namespace kv {

SimulatedLink::SimulatedLink(SimulatedLoad& load, const Clock& clock, std::int16_t mode)
    : load_(load), clock_(clock), startMs_(clock.TickMs()), mode_(mode) {}

std::int64_t SimulatedLink::ModelMs() const {
  return clock_.TickMs() - startMs_;
}

void SimulatedLink::OpenInstrument(std::int16_t mode) {
  open_ = true;
  // The serial and LAN transports announce themselves; GPIB does not.
  if (mode == kModeSerial || mode == kModeLan) {
    WriteInstrument("REM");
  }
}

void SimulatedLink::OpenInstrument(const LinkSettings& /*settings*/) {
  OpenInstrument(mode_);
}

void SimulatedLink::CloseInstrument() {
  open_ = false;
  unread_.clear();
  arrivals_.Clear();
  recvBuf_.clear();
}

void SimulatedLink::WriteInstrument(std::string_view command) {
  if (mode_ != kModeSerial && mode_ != kModeGpib && mode_ != kModeLan) {
    return;
  }
  // A serial write opens a closed port itself; a write discards any reply
  // nobody read, as the transports do.
  open_ = true;
  unread_.clear();
  if (mode_ == kModeLan) {
    arrivals_.Clear();
    recvBuf_.clear();
  }
  const std::optional<std::string> reply = load_.HandleLine(command, ModelMs());
  // An empty reply puts nothing on the line, as a silent load does.
  if (!reply || reply->empty()) {
    return;
  }
  // The terminators the load sends on each carrier.
  if (mode_ == kModeLan) {
    if (std::optional<std::string> line = arrivals_.Feed(*reply + "\r\n")) {
      recvBuf_ = std::move(*line);
    }
  } else if (reply->size() > kMaxReplyBytes) {
    // Kept as the serial read keeps an overlong line: its start, no LF.
    unread_ = reply->substr(0, kMaxReplyBytes);
  } else {
    unread_ = *reply + "\n";
  }
}

std::string SimulatedLink::ReadInstrument() {
  switch (mode_) {
    case kModeSerial: {
      if (!open_) {
        return {};
      }
      return SerialReply(std::exchange(unread_, {}));
    }
    case kModeGpib:
      return GpibReply(std::exchange(unread_, {}));
    case kModeLan:
      return LanReply(recvBuf_);
    default:
      return {};
  }
}

std::string SimulatedLink::WaitRecvBuf(int /*timeoutMs*/) {
  return recvBuf_;
}

}  // namespace kv
