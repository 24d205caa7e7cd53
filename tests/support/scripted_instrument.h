#pragma once
// An instrument for tests: records every line written (with the fake clock's
// time) and answers queries from a script.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "link/instrument_link.h"

namespace kv::test {

class ScriptedInstrument : public InstrumentLink {
 public:
  struct SentLine {
    std::string line;
    std::int64_t ms;
  };

  explicit ScriptedInstrument(std::int16_t mode = kModeSerial, const Clock* clock = nullptr)
      : mode_(mode), clock_(clock) {}

  /// `query` is always answered with `reply`.
  void Reply(const std::string& query, const std::string& reply);
  /// `query` is answered with `replies` in order; the last one repeats.
  void ReplySequence(const std::string& query, std::vector<std::string> replies);
  /// Called after every line written, with the line (e.g. to press Stop inside a wait).
  void OnWrite(std::function<void(std::string_view)> hook) { onWrite_ = std::move(hook); }
  /// Called at every read, with the query it answers (e.g. to move the clock).
  void OnRead(std::function<void(std::string_view)> hook) { onRead_ = std::move(hook); }
  void SetMode(std::int16_t mode) { mode_ = mode; }
  /// While false, every write reports that it did not reach the load.
  void SetDelivering(bool delivering) { delivering_ = delivering; }

  const std::vector<SentLine>& Sent() const { return sent_; }
  std::vector<std::string> Lines() const;
  void ClearSent() { sent_.clear(); }
  int Opens() const { return opens_; }
  std::string& RecvBuf() { return recvBuf_; }

  void OpenInstrument(std::int16_t mode) override;
  void CloseInstrument() override {}
  void WriteInstrument(std::string_view command) override;
  std::string ReadInstrument() override;
  std::int16_t ConnectMode() const override { return mode_; }
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override { recvBuf_.clear(); }
  bool LastWriteDelivered() const override { return delivering_; }

 private:
  std::string Answer(const std::string& query);

  std::int16_t mode_;
  const Clock* clock_;
  std::map<std::string, std::deque<std::string>> script_;
  std::function<void(std::string_view)> onWrite_;
  std::function<void(std::string_view)> onRead_;
  std::vector<SentLine> sent_;
  std::string lastQuery_;
  std::string recvBuf_;
  int opens_ = 0;
  bool delivering_ = true;
};

}  // namespace kv::test
