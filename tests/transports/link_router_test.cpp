// The link as the runner sees it: each ConnectMode reaches its transport.
#include "link/transports/link_router.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>

#include "support/qt/loopback_server.h"
#include "support/qt/pty_pair.h"
#include "support/qt/recording_sink.h"
#include "transports/serial_peer.h"

namespace kv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

LinkSettings LanSettings(quint16 port) {
  LinkSettings s;
  s.connectMode = kModeLan;
  s.lanIp = {127, 0, 0, 1};
  s.lanPort = port;
  return s;
}

TEST(LinkRouterTest, UnknownModeSendsNothingAndReadsEmpty) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listen());
  LinkSettings s = LanSettings(server.Port());
  s.connectMode = 3;
  test::RecordingSink sink;
  LinkRouter link(s, sink);
  link.OpenInstrument(3);
  link.WriteInstrument("LOAD ON");
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(link.ReadInstrument(), "");
  EXPECT_LT(t.elapsed(), 100);
  link.CloseInstrument();
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_THAT(sink.messages, IsEmpty());
}

TEST(LinkRouterTest, LanConnectsToTheFourOctetsAndQueries) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listen());
  server.Load().Reply("name?", "KV-G100\r\n");
  server.Load().Reply("MEAS:VC?", "12.000,1.500\r\n");
  test::RecordingSink sink;
  LinkRouter link(LanSettings(server.Port()), sink);
  link.OpenInstrument(link.ConnectMode());
  link.WriteInstrument("name?");
  EXPECT_EQ(link.ReadInstrument(), "KV-G100");
  // The measurement poll's own wait, and its taking of the reply.
  link.WriteInstrument("MEAS:VC?");
  EXPECT_EQ(link.WaitRecvBuf(1000), "12.000,1.500");
  link.ClearRecvBuf();
  EXPECT_EQ(link.WaitRecvBuf(20), "");
  EXPECT_THAT(server.Load().Lines(), ElementsAre("REM", "name?", "MEAS:VC?"));
  EXPECT_THAT(sink.messages, IsEmpty());
}

TEST(LinkRouterTest, NewConnectModeMovesEveryOperationAtOnce) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listen());
  server.Load().Reply("NG?", "0\r\n");
  test::RecordingSink sink;
  const LinkSettings lan = LanSettings(server.Port());
  LinkSettings none = lan;
  none.connectMode = 3;
  LinkRouter link(none, sink);
  EXPECT_EQ(link.Active(), nullptr);
  link.OpenInstrument(kModeLan);  // open goes by its argument
  link.SetSettings(lan);
  EXPECT_EQ(link.Active(), &link.Tcp());
  link.WriteInstrument("NG?");
  EXPECT_EQ(link.ReadInstrument(), "0");
  link.SetSettings(none);
  link.WriteInstrument("LOAD ON");
  EXPECT_EQ(link.ReadInstrument(), "");
  link.SetSettings(lan);
  link.WriteInstrument("LOAD OFF");
  QSignalSpy lines(&server.Load(), &test::LineResponder::lineReceived);
  while (server.Load().Lines().size() < 3 && lines.wait(1000)) {
  }
  EXPECT_THAT(server.Load().Lines(), ElementsAre("REM", "NG?", "LOAD OFF"));
}

TEST(LinkRouterTest, LanOpenAgainKeepsTheConnectionAndWritesRemAgain) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listen());
  test::RecordingSink sink;
  LinkRouter link(LanSettings(server.Port()), sink);
  link.OpenInstrument(kModeLan);
  link.OpenInstrument(kModeLan);
  QSignalSpy lines(&server.Load(), &test::LineResponder::lineReceived);
  while (server.Load().Lines().size() < 2 && lines.wait(1000)) {
  }
  EXPECT_THAT(server.Load().Lines(), ElementsAre("REM", "REM"));
  EXPECT_EQ(server.Connections(), 1);
}

TEST(LinkRouterTest, RefusedLanOpenReportsConnectFailThenLostConnect) {
  quint16 port = 0;
  {
    test::LoopbackServer gone;
    ASSERT_TRUE(gone.Listen());
    port = gone.Port();
  }
  test::RecordingSink sink;
  LinkRouter link(LanSettings(port), sink);
  link.Tcp().SetConnectTimeoutMs(200);
  link.OpenInstrument(kModeLan);
  EXPECT_THAT(sink.messages, ElementsAre("Connect Fail!", "Lost Connect!"));
  EXPECT_THAT(sink.failures, ElementsAre(LinkFailure::ConnectFailed, LinkFailure::ConnectionLost));
  EXPECT_EQ(link.ReadInstrument(), "ErrRec");
}

TEST(LinkRouterTest, LanPortOutsideTheTcpRangeCannotConnect) {
  test::RecordingSink sink;
  LinkRouter link(LanSettings(0), sink);
  link.Tcp().SetConnectTimeoutMs(100);
  link.OpenInstrument(kModeLan);
  EXPECT_THAT(sink.messages, ElementsAre("Connect Fail!", "Lost Connect!"));
}

TEST(LinkRouterTest, SerialPortNumberZeroOpensNothing) {
  LinkSettings s;
  s.connectMode = kModeSerial;
  s.comPort.assign(1, '0');  // GCC 12 sees a false overlap in = "0" here (-Wrestrict)
  test::RecordingSink sink;
  LinkRouter link(s, sink);
  link.OpenInstrument(kModeSerial);
  EXPECT_FALSE(link.Serial().IsOpen());
  EXPECT_THAT(sink.messages, IsEmpty());
  // The write tries the port as it stands (no name: it fails quietly).
  link.WriteInstrument("LOAD OFF");
  EXPECT_EQ(link.ReadInstrument(), "");
  EXPECT_THAT(sink.messages, IsEmpty());
}

TEST(LinkRouterTest, SerialDevicePathIsUsedAsItStands) {
  test::PtyPair pty;
  ASSERT_TRUE(pty.Start()) << pty.Error().toStdString();
  test::SerialPeer peer;
  ASSERT_TRUE(peer.Open(pty.FarPath()));
  peer.Load().Reply("name?", "KV-A200\r\n");
  LinkSettings s;
  s.connectMode = kModeSerial;
  s.comPort = pty.NearPath().toStdString();
  test::RecordingSink sink;
  LinkRouter link(s, sink);
  link.OpenInstrument(kModeSerial);
  link.WriteInstrument("name?");
  EXPECT_EQ(link.ReadInstrument(), "KV-A200");
  EXPECT_EQ(peer.Load().Received(), QByteArray("REM\nname?\n"));
  EXPECT_THAT(sink.messages, IsEmpty());
}

}  // namespace
}  // namespace kv
