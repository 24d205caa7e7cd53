#include "sim/link/simulated_link.h"

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

void SimulatedLink::CloseInstrument() {
  open_ = false;
  pending_.reset();
  recvBuf_.clear();
}

void SimulatedLink::WriteInstrument(std::string_view command) {
  if (mode_ != kModeSerial && mode_ != kModeGpib && mode_ != kModeLan) {
    return;
  }
  // A serial write opens a closed port itself; a write discards any reply
  // nobody read, as the transports do.
  open_ = true;
  pending_.reset();
  if (mode_ == kModeLan) {
    recvBuf_.clear();
  }
  std::optional<std::string> reply = load_.HandleLine(command, ModelMs());
  if (!reply) {
    return;
  }
  if (mode_ == kModeLan) {
    recvBuf_ = *reply;
  } else {
    pending_ = std::move(reply);
  }
}

std::string SimulatedLink::ReadInstrument() {
  switch (mode_) {
    case kModeSerial:
    case kModeGpib: {
      if (!open_ && mode_ == kModeSerial) {
        return {};
      }
      if (!pending_) {
        return std::string(kErrRec);
      }
      std::string reply = std::move(*pending_);
      pending_.reset();
      // An empty reply is what a silent line gives too.
      return reply.empty() ? std::string(kErrRec) : reply;
    }
    case kModeLan:
      return recvBuf_.empty() ? std::string(kErrRec) : recvBuf_;
    default:
      return {};
  }
}

std::string SimulatedLink::WaitRecvBuf(int /*timeoutMs*/) {
  return recvBuf_;
}

}  // namespace kv
