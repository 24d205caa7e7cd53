#include <gtest/gtest.h>

#include "sim/link/simulated_link.h"
#include "support/fake_clock.h"

namespace kv {
namespace {

struct SimBench {
  explicit SimBench(std::int16_t mode) : link(load, clock, mode) {}
  test::FakeClock clock;
  SimulatedLoad load;
  SimulatedLink link;
};

TEST(SimulatedLink, SerialAndGpibReadTheReplyOfTheLastQueryOnce) {
  for (const std::int16_t mode : {kModeSerial, kModeGpib}) {
    SimBench b(mode);
    EXPECT_EQ(b.link.ReadInstrument(), mode == kModeSerial ? "" : "ErrRec") << "not open yet";
    b.link.OpenInstrument(mode);
    b.link.WriteInstrument("TESTING?");
    b.link.WriteInstrument("LOAD OFF");
    EXPECT_EQ(b.link.ReadInstrument(), "ErrRec") << "a write discards the unread reply";
    b.link.WriteInstrument("name?");
    EXPECT_EQ(b.link.ReadInstrument(), std::string(kSimDefaultModel));
    EXPECT_EQ(b.link.ReadInstrument(), "ErrRec") << "a reply is read once";
    // Only the serial port switches the load to remote control on opening.
    EXPECT_EQ(b.load.LineCount(), mode == kModeSerial ? 4 : 3);
    EXPECT_EQ(b.load.ReceivedLines().front(), mode == kModeSerial ? "REM" : "TESTING?");
  }
}

// One GPIB read transfers at most 256 bytes; the other carriers take the
// line, and a mode outside the three reaches nothing.
TEST(SimulatedLink, RepliesAreReadByTheRuleOfTheirCarrier) {
  const std::pair<std::int16_t, int> reads[] = {
      {kModeSerial, 300}, {kModeGpib, 256}, {kModeLan, 300}, {3, 0}};
  for (const auto& [mode, size] : reads) {
    SimBench b(mode);
    b.load.SetModelText(std::string(300, 'M'));
    b.link.OpenInstrument(mode);
    b.link.WriteInstrument("name?");
    EXPECT_EQ(b.link.ReadInstrument(), std::string(static_cast<std::size_t>(size), 'M')) << mode;
    EXPECT_EQ(b.load.LineCount() > 0, size > 0) << mode;
  }
}

TEST(SimulatedLink, LanRepliesFillRecvBuf) {
  SimBench b(kModeLan);
  b.link.OpenInstrument(kModeLan);
  b.link.WriteInstrument("MEAS:VC?");
  EXPECT_EQ(b.link.WaitRecvBuf(1000), "4.2000,0.0000");
  EXPECT_EQ(b.link.ReadInstrument(), "4.2000,0.0000") << "a LAN read does not empty RecvBuf";
  b.link.ClearRecvBuf();
  EXPECT_EQ(b.link.WaitRecvBuf(1000), "");
  b.link.WriteInstrument("NG?");
  b.link.WriteInstrument("LOAD ON");
  EXPECT_EQ(b.link.ReadInstrument(), "ErrRec") << "a write empties RecvBuf";
}

TEST(SimulatedLink, ModelTimeFollowsTheClock) {
  test::FakeClock clock;
  clock.AdvanceSeconds(100);  // the link counts from its own start
  SimulatedLoad load;
  SimulatedLink link(load, clock);
  clock.AdvanceMs(36000);
  link.WriteInstrument("REM");
  EXPECT_EQ(link.ModelMs(), 36000);
  EXPECT_EQ(load.Log().back().ms, 36000);
}

}  // namespace
}  // namespace kv
