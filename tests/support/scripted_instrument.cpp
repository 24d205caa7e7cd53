#include "support/scripted_instrument.h"

#include <utility>

namespace kv::test {

void ScriptedInstrument::Reply(const std::string& query, const std::string& reply) {
  script_[query] = {reply};
}

void ScriptedInstrument::ReplySequence(const std::string& query, std::vector<std::string> replies) {
  script_[query] = std::deque<std::string>(replies.begin(), replies.end());
}

std::vector<std::string> ScriptedInstrument::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(sent_.size());
  for (const auto& s : sent_) {
    lines.push_back(s.line);
  }
  return lines;
}

void ScriptedInstrument::OpenInstrument(std::int16_t mode) {
  ++opens_;
  mode_ = mode;
  if (mode == kModeSerial || mode == kModeLan) {
    WriteInstrument("REM");
  }
}

std::string ScriptedInstrument::Answer(const std::string& query) {
  auto it = script_.find(query);
  if (it == script_.end() || it->second.empty()) {
    return std::string(kErrRec);
  }
  std::string reply = it->second.front();
  if (it->second.size() > 1) {
    it->second.pop_front();
  }
  return reply;
}

void ScriptedInstrument::WriteInstrument(std::string_view command) {
  if (mode_ != kModeSerial && mode_ != kModeGpib && mode_ != kModeLan) {
    return;
  }
  sent_.push_back({std::string(command), clock_ != nullptr ? clock_->TickMs() : 0});
  lastQuery_ = std::string(command);
  if (mode_ == kModeLan) {
    // The load answers a LAN query by a data arrival that fills RecvBuf.
    recvBuf_.clear();
    auto it = script_.find(lastQuery_);
    if (it != script_.end()) {
      recvBuf_ = Answer(lastQuery_);
    }
  }
  if (onWrite_) {
    onWrite_(command);
  }
}

std::string ScriptedInstrument::ReadInstrument() {
  if (mode_ != kModeSerial && mode_ != kModeGpib && mode_ != kModeLan) {
    return {};
  }
  if (onRead_) {
    onRead_(lastQuery_);
  }
  if (mode_ == kModeLan) {
    return recvBuf_.empty() ? std::string(kErrRec) : recvBuf_;
  }
  return Answer(lastQuery_);
}

std::string ScriptedInstrument::WaitRecvBuf(int /*timeoutMs*/) {
  if (onRead_) {
    onRead_(lastQuery_);
  }
  return recvBuf_;
}

}  // namespace kv::test
