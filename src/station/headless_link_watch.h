#pragma once
// Watches the link for the headless runner: whether the load answers at all.
// Nobody sits in front of kvload-run to notice a dead connection, so the
// exit status has to tell a script that the rows of a run came from nowhere.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/instrument_link.h"

namespace kv {

class HeadlessLinkWatch : public InstrumentLink {
 public:
  /// Unanswered queries in a row after which the load counts as lost.
  static constexpr int kLostAfter = 3;

  /// Passes everything on to `link`, which must outlive the watch.
  explicit HeadlessLinkWatch(InstrumentLink& link) : link_(link) {}

  void OpenInstrument(std::int16_t mode) override { link_.OpenInstrument(mode); }
  void CloseInstrument() override { link_.CloseInstrument(); }
  void WriteInstrument(std::string_view command) override;
  std::string ReadInstrument() override;
  std::int16_t ConnectMode() const override { return link_.ConnectMode(); }
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override { link_.ClearRecvBuf(); }

  /// Queries left unanswered since the last answer.
  int UnansweredInRow() const { return unansweredInRow_; }
  /// The longest such streak so far.
  int LongestSilence() const { return longestSilence_; }
  bool LoadLost() const { return longestSilence_ >= kLostAfter; }
  int Answers() const { return answers_; }
  /// Lines written since the watch was made.
  int LinesWritten() const { return linesWritten_; }

 private:
  void Count(bool answered);

  InstrumentLink& link_;
  int unansweredInRow_ = 0;
  int longestSilence_ = 0;
  int answers_ = 0;
  int linesWritten_ = 0;
};

}  // namespace kv
