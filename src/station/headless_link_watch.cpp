#include "station/headless_link_watch.h"

#include <algorithm>

namespace kv {

void HeadlessLinkWatch::WriteInstrument(std::string_view command) {
  ++linesWritten_;
  link_.WriteInstrument(command);
}

std::string HeadlessLinkWatch::ReadInstrument() {
  std::string reply = link_.ReadInstrument();
  // "" is what a closed port reads; a garbled reply still proves a live load.
  Count(!reply.empty() && reply != kErrRec);
  return reply;
}

std::string HeadlessLinkWatch::WaitRecvBuf(int timeoutMs) {
  std::string reply = link_.WaitRecvBuf(timeoutMs);
  Count(!reply.empty());
  return reply;
}

void HeadlessLinkWatch::Count(bool answered) {
  if (answered) {
    ++answers_;
    unansweredInRow_ = 0;
    return;
  }
  ++unansweredInRow_;
  longestSilence_ = std::max(longestSilence_, unansweredInRow_);
}

}  // namespace kv
