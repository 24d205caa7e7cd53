#pragma once
// How each carrier turns the bytes it received into the reply a read gives.
// The Qt transports and the simulated link both go through these, so the
// simulated load is read exactly as a real one on the same carrier.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kv {

/// The most one GPIB read transfers.
inline constexpr std::size_t kGpibReadSize = 256;

/// The longest reply kept from one line. A load that streams bytes without a
/// line end would otherwise grow the program's memory at the link's speed;
/// no reply of the protocol comes near this.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{64} * 1024;
/// Said once for every line cut to kMaxReplyBytes.
inline constexpr std::string_view kReplyCutMessage =
    "A reply longer than 65536 bytes was cut; the rest of that line was dropped";

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
/// replaces an older that nobody took. A line keeps its first kMaxReplyBytes;
/// the rest of it, up to its LF, is dropped.
class LanReplyAssembler {
 public:
  /// The newest whole line in what has arrived so far, trimmed; nothing while
  /// no LF has come. The start of an unfinished line is kept.
  std::optional<std::string> Feed(std::string_view chunk);
  void Clear() {
    partial_.clear();
    cutting_ = false;
  }
  /// Whether a line was cut since the last call (once per line).
  bool TakeCut() { return std::exchange(cutSeen_, false); }

 private:
  void Append(std::string_view piece);

  std::string partial_;
  bool cutting_ = false;  // the line in progress passed the bound
  bool cutSeen_ = false;
};

}  // namespace kv
