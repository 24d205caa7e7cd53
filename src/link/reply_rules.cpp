#include "link/reply_rules.h"

#include "link/instrument_link.h"

namespace kv {

std::string TrimReply(std::string_view received) {
  if (received.size() >= 2 && received.substr(received.size() - 2) == "\r\n") {
    received.remove_suffix(2);
  } else if (!received.empty() && received.back() == '\n') {
    received.remove_suffix(1);
  }
  return std::string(received);
}

std::string SerialReply(std::string_view collected) {
  if (collected.size() < 2) {
    return std::string(kErrRec);
  }
  return TrimReply(collected);
}

std::string GpibReply(std::string_view transferred) {
  if (transferred.empty()) {
    return std::string(kErrRec);
  }
  return TrimReply(transferred.substr(0, kGpibReadSize));
}

std::string LanReply(std::string_view recvBuf) {
  return recvBuf.empty() ? std::string(kErrRec) : std::string(recvBuf);
}

void LanReplyAssembler::Append(std::string_view piece) {
  if (cutting_) {
    return;
  }
  const std::size_t room = kMaxReplyBytes - partial_.size();
  if (piece.size() <= room) {
    partial_ += piece;
    return;
  }
  partial_ += piece.substr(0, room);
  cutting_ = true;
  cutSeen_ = true;
}

std::optional<std::string> LanReplyAssembler::Feed(std::string_view chunk) {
  std::optional<std::string> newest;
  while (!chunk.empty()) {
    const std::size_t lf = chunk.find('\n');
    if (lf == std::string_view::npos) {
      Append(chunk);
      break;
    }
    Append(chunk.substr(0, lf));
    // A cut line has lost its end; what is kept is not trimmed further.
    newest = cutting_ ? std::move(partial_) : TrimReply(partial_ + '\n');
    partial_.clear();
    cutting_ = false;
    chunk.remove_prefix(lf + 1);
  }
  return newest;
}

}  // namespace kv
