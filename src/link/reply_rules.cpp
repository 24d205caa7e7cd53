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

std::optional<std::string> LanReplyAssembler::Feed(std::string_view chunk) {
  partial_ += chunk;
  const std::size_t lastLf = partial_.rfind('\n');
  if (lastLf == std::string::npos) {
    return std::nullopt;
  }
  const std::size_t prevLf = lastLf == 0 ? std::string::npos : partial_.rfind('\n', lastLf - 1);
  const std::size_t from = prevLf == std::string::npos ? 0 : prevLf + 1;
  std::string reply = TrimReply(std::string_view(partial_).substr(from, lastLf + 1 - from));
  partial_.erase(0, lastLf + 1);
  return reply;
}

}  // namespace kv
