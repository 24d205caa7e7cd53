#pragma once
// Watches a link for whether the load answers at all. Nobody sits in front of
// kvload-run to notice a dead connection, so the exit status has to tell a
// script that the rows of a run came from nowhere; the desktop program can say
// the same from the same count.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/instrument_link.h"

namespace kv {

class LinkWatch : public InstrumentLink {
 public:
  /// Unanswered queries in a row after which the load counts as lost.
  static constexpr int kLostAfter = 3;

  /// Passes everything on to `link`, which must outlive the watch.
  explicit LinkWatch(InstrumentLink& link) : link_(link) {}

  void OpenInstrument(std::int16_t mode) override { link_.OpenInstrument(mode); }
  void CloseInstrument() override { link_.CloseInstrument(); }
  void WriteInstrument(std::string_view command) override;
  std::string ReadInstrument() override;
  std::int16_t ConnectMode() const override { return link_.ConnectMode(); }
  std::string WaitRecvBuf(int timeoutMs) override;
  void ClearRecvBuf() override { link_.ClearRecvBuf(); }
  bool Reconnect(int timeoutMs) override { return link_.Reconnect(timeoutMs); }
  bool LastWriteDelivered() const override { return link_.LastWriteDelivered(); }

  /// Whether kLostAfter queries in a row went unanswered at some point.
  bool LoadLost() const { return longestSilence_ >= kLostAfter; }
  /// Lines written since the watch was made.
  int LinesWritten() const { return linesWritten_; }

 private:
  void Count(bool answered);

  InstrumentLink& link_;
  int unansweredInRow_ = 0;
  int longestSilence_ = 0;
  int linesWritten_ = 0;
};

}  // namespace kv
