// The watch counts unanswered queries in a row, not in all: a load that
// misses now and then is slow, not gone.
#include "link/link_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scripted_instrument.h"

namespace kv {
namespace {

TEST(LinkWatch, OnlyUnansweredQueriesInARowCountAsALostLoad) {
  struct Case {
    std::vector<std::string> replies;  // "" on the LAN: the wait ran out
    bool lost;
  };
  const Case cases[] = {
      {{"ErrRec", "ErrRec", "ErrRec"}, true},
      {{"12,1", "ErrRec", "ErrRec", "ErrRec", "12,1"}, true},  // once lost, said so
      {{"ErrRec", "12,1", "ErrRec", "12,1", "ErrRec", "12,1", "ErrRec"}, false},
      {{"ErrRec", "ErrRec", "junk", "ErrRec", "ErrRec"}, false},  // garbled still answers
  };
  for (const std::int16_t mode : {kModeSerial, kModeLan}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(mode) + " " + std::to_string(c.replies.size()));
      test::ScriptedInstrument load(mode);
      std::vector<std::string> script = c.replies;
      if (mode == kModeLan) {
        for (std::string& r : script) {
          r = r == kErrRec ? "" : r;
        }
      }
      load.ReplySequence("MEAS:VC?", script);
      LinkWatch watch(load);
      for (std::size_t i = 0; i < c.replies.size(); ++i) {
        watch.WriteInstrument("MEAS:VC?");
        if (mode == kModeLan) {
          watch.WaitRecvBuf(kReplyWaitMs);
        } else {
          watch.ReadInstrument();
        }
      }
      EXPECT_EQ(watch.LoadLost(), c.lost);
      EXPECT_EQ(watch.LinesWritten(), static_cast<int>(c.replies.size()));
    }
  }
}

}  // namespace
}  // namespace kv
