#include "link/link_watch.h"

#include <algorithm>

namespace kv {

void LinkWatch::WriteInstrument(std::string_view command) {
  ++linesWritten_;
  link_.WriteInstrument(command);
}

std::string LinkWatch::ReadInstrument() {
  std::string reply = link_.ReadInstrument();
  // "" is what a closed port reads; a garbled reply still proves a live load.
  Count(!reply.empty() && reply != kErrRec);
  return reply;
}

std::string LinkWatch::WaitRecvBuf(int timeoutMs) {
  std::string reply = link_.WaitRecvBuf(timeoutMs);
  Count(!reply.empty());
  return reply;
}

void LinkWatch::Count(bool answered) {
  if (answered) {
    unansweredInRow_ = 0;
    return;
  }
  ++unansweredInRow_;
  longestSilence_ = std::max(longestSilence_, unansweredInRow_);
}

}  // namespace kv
