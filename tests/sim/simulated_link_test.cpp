#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/link/simulated_link.h"
#include "support/fake_clock.h"

namespace kv {
namespace {

using ::testing::ElementsAre;

TEST(SimulatedLink, SerialOpenAnnouncesRemoteAndQueriesReadTheirReply) {
  test::FakeClock clock;
  SimulatedLoad load;
  SimulatedLink link(load, clock, kModeSerial);
  EXPECT_EQ(link.ReadInstrument(), "") << "port not open yet";
  link.OpenInstrument(link.ConnectMode());
  link.WriteInstrument("name?");
  EXPECT_EQ(link.ReadInstrument(), std::string(kSimDefaultModel));
  EXPECT_EQ(link.ReadInstrument(), "ErrRec") << "a reply is read once";
  link.WriteInstrument("LOAD OFF");
  EXPECT_EQ(link.ReadInstrument(), "ErrRec") << "commands answer nothing";
  EXPECT_THAT(load.ReceivedLines(), ElementsAre("REM", "name?", "LOAD OFF"));
}

TEST(SimulatedLink, AnUnreadReplyIsDiscardedByTheNextWrite) {
  test::FakeClock clock;
  SimulatedLoad load;
  SimulatedLink link(load, clock, kModeGpib);
  link.OpenInstrument(kModeGpib);
  EXPECT_TRUE(load.ReceivedLines().empty()) << "GPIB open sends nothing";
  link.WriteInstrument("TESTING?");
  link.WriteInstrument("NG?");
  EXPECT_EQ(link.ReadInstrument(), "0");
  EXPECT_EQ(link.ReadInstrument(), "ErrRec");
}

TEST(SimulatedLink, RepliesAreReadByTheRuleOfTheirCarrier) {
  SimLoadConfig config;
  config.modelText = std::string(300, 'M');
  test::FakeClock clock;
  for (const std::int16_t mode : {kModeSerial, kModeGpib, kModeLan}) {
    SimulatedLoad load(config);
    SimulatedLink link(load, clock, mode);
    link.OpenInstrument(mode);
    link.WriteInstrument("name?");
    // One GPIB read transfers at most 256 bytes; the other carriers take the line.
    EXPECT_EQ(link.ReadInstrument().size(), mode == kModeGpib ? 256u : 300u) << mode;
  }
}

TEST(SimulatedLink, LanRepliesFillRecvBuf) {
  test::FakeClock clock;
  SimulatedLoad load;
  SimulatedLink link(load, clock, kModeLan);
  link.OpenInstrument(kModeLan);
  link.WriteInstrument("MEAS:VC?");
  EXPECT_EQ(link.WaitRecvBuf(1000), "4.2000,0.0000");
  EXPECT_EQ(link.ReadInstrument(), "4.2000,0.0000") << "a LAN read does not empty RecvBuf";
  link.ClearRecvBuf();
  EXPECT_EQ(link.WaitRecvBuf(1000), "");
  link.WriteInstrument("NG?");
  link.WriteInstrument("LOAD ON");
  EXPECT_EQ(link.ReadInstrument(), "ErrRec") << "a write empties RecvBuf";
}

TEST(SimulatedLink, ModelTimeFollowsTheClock) {
  test::FakeClock clock;
  clock.AdvanceSeconds(100);  // the link counts from its own start
  SimulatedLoad load;
  SimulatedLink link(load, clock);
  link.WriteInstrument("MODE CC");
  link.WriteInstrument("CC:HIGH 1");
  link.WriteInstrument("LOAD ON");
  clock.AdvanceMs(36000);
  link.WriteInstrument("MEAS:VC?");
  EXPECT_EQ(link.ModelMs(), 36000);
  EXPECT_EQ(load.Log().back().ms, 36000);
  EXPECT_NEAR(load.Source().DrawnAh(), 0.01, 1e-9);
}

TEST(SimulatedLink, AModeOutsideTheThreeDoesNothing) {
  test::FakeClock clock;
  SimulatedLoad load;
  SimulatedLink link(load, clock, 3);
  link.OpenInstrument(3);
  link.WriteInstrument("LOAD ON");
  EXPECT_EQ(link.ReadInstrument(), "");
  EXPECT_EQ(load.LineCount(), 0);
}

}  // namespace
}  // namespace kv
