// The LAN transport's own ways: replies that arrive by themselves, lost and
// refused connections. Query and reply are checked in the router's tests.
#include "link/transports/tcp_transport.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include "link/instrument_link.h"
#include "support/qt/loopback_server.h"
#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::ElementsAre;

// A lost connection is reported at every write, and nothing is read. Once
// back, only whole lines land in RecvBuf, and a newer one replaces one nobody
// took.
TEST(TcpTransportTest, LostConnectionThenNewestWholeLineInRecvBuf) {
  test::LoopbackServer server;
  ASSERT_TRUE(server.Listen());
  test::RecordingSink sink;
  TcpTransport tcp(sink);
  ASSERT_TRUE(tcp.TcpOpen(QStringLiteral("127.0.0.1"), server.Port()));
  tcp.TcpClose();
  tcp.TcpWrite("LOAD OFF");
  tcp.TcpWrite("MEAS:VC?");
  EXPECT_THAT(sink.messages, ElementsAre("Lost Connect!", "Lost Connect!"));
  EXPECT_EQ(tcp.ReadReply(300), kErrRec);
  ASSERT_TRUE(tcp.TcpOpen(QStringLiteral("127.0.0.1"), server.Port()));
  server.Load().ReplyChunks("MEAS:VC?", {"1.000,", "2.000\r\n", "3.000,4.000\r\n"}, 20);
  QSignalSpy replies(&tcp, &TcpTransport::replyReceived);
  tcp.TcpWrite("MEAS:VC?");
  while (replies.count() < 2 && replies.wait(1000)) {
  }
  EXPECT_EQ(replies.count(), 2);
  EXPECT_EQ(tcp.RecvBuf(), "3.000,4.000");
}

// Refused connects are tried again until the bound, with the event loop
// running all along; then the operator hears about it once. A load that comes
// up during the attempts is reached.
TEST(TcpConnectTest, RefusedConnectsAreRetriedUntilTheBoundWithoutFreezing) {
  const quint16 port = test::LoopbackServer::UnusedPort();
  ASSERT_NE(port, 0);
  test::RecordingSink sink;
  TcpTransport tcp(sink);
  tcp.SetConnectTimeoutMs(400);
  QTimer heartbeat;
  int beats = 0;
  QObject::connect(&heartbeat, &QTimer::timeout, [&beats] { ++beats; });
  heartbeat.start(20);
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(tcp.TcpOpen(QStringLiteral("127.0.0.1"), port));
  EXPECT_GE(t.elapsed(), 395);
  EXPECT_GE(beats, 10);
  EXPECT_THAT(sink.messages, ElementsAre("Connect Fail!"));
  tcp.SetConnectTimeoutMs(3000);
  test::LoopbackServer late;
  bool listening = false;
  QTimer::singleShot(100, [&] { listening = late.Listen(port); });
  EXPECT_TRUE(tcp.TcpOpen(QStringLiteral("127.0.0.1"), port));
  EXPECT_TRUE(listening);
  EXPECT_EQ(sink.messages.size(), 1u);
}

}  // namespace
}  // namespace kv
