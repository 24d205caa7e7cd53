#pragma once
// How each carrier turns the bytes it received into the reply a read gives.
// The Qt transports and the simulated link both go through these, so the
// simulated load is read exactly as a real one on the same carrier.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

/// The most one GPIB read transfers.
inline constexpr std::size_t kGpibReadSize = 256;

/// Serial: what arrived within the read bound. Fewer than two characters is
/// "ErrRec"; otherwise trimmed (text that came without LF stays as it is).
std::string SerialReply(std::string_view collected);

/// GPIB: the bytes one read transferred. None is "ErrRec"; only the first
/// kGpibReadSize count, trimmed.
std::string GpibReply(std::string_view transferred);

/// LAN: what a read gives from RecvBuf; "ErrRec" when it holds nothing.
std::string LanReply(std::string_view recvBuf);

/// LAN arrivals: collects chunks until a line is whole. Of several whole
/// lines only the newest counts: RecvBuf holds one reply, and a newer one
/// replaces an older that nobody took.
class LanReplyAssembler {
 public:
  /// The newest whole line in what has arrived so far, trimmed; nothing while
  /// no LF has come. The start of an unfinished line is kept.
  std::optional<std::string> Feed(std::string_view chunk);
  void Clear() { partial_.clear(); }

 private:
  std::string partial_;
};

}  // namespace kv
