// The LAN transport against a load on the loopback interface.
#include "link/transports/tcp_transport.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include "link/instrument_link.h"
#include "link/reply_rules.h"
#include "support/qt/loopback_server.h"
#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TcpTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    ASSERT_TRUE(tcp.TcpOpen(QStringLiteral("127.0.0.1"), server.Port()));
  }

  // The next line the load receives.
  QString NextLine() {
    QSignalSpy spy(&server.Load(), &test::LineResponder::lineReceived);
    if (!spy.wait(2000)) {
      return {};
    }
    return spy.first().first().toString();
  }

  test::LoopbackServer server;
  test::RecordingSink sink;
  TcpTransport tcp{sink};
};

TEST_F(TcpTransportTest, QueryGetsItsReplyWithoutTerminator) {
  server.Load().Reply("name?", "KV-G100\r\n");
  tcp.TcpWrite("name?");
  EXPECT_EQ(tcp.ReadReply(1000), "KV-G100");
  EXPECT_EQ(server.Load().Received(), QByteArray("name?\r\n"));
  EXPECT_THAT(sink.messages, IsEmpty());
}

TEST_F(TcpTransportTest, ReplySplitOverTwoArrivalsIsJoined) {
  server.Load().ReplyChunks("MEAS:VC?", {"1.000,", "2.000\r\n"}, 40);
  QSignalSpy replies(&tcp, &TcpTransport::replyReceived);
  tcp.TcpWrite("MEAS:VC?");
  EXPECT_EQ(tcp.ReadReply(1000), "1.000,2.000");
  EXPECT_EQ(replies.count(), 1);
}

TEST_F(TcpTransportTest, NewerReplyReplacesOneNobodyTook) {
  server.Load().ReplyChunks("MEAS:VC?", {"1.000,2.000\r\n", "3.000,4.000\r\n"}, 20);
  QSignalSpy replies(&tcp, &TcpTransport::replyReceived);
  tcp.TcpWrite("MEAS:VC?");
  while (replies.count() < 2 && replies.wait(1000)) {
  }
  ASSERT_EQ(replies.count(), 2);
  EXPECT_EQ(tcp.RecvBuf(), "3.000,4.000");
  EXPECT_EQ(tcp.ReadReply(1000), "3.000,4.000");
}

TEST_F(TcpTransportTest, TwoLinesInOneArrivalLeaveTheNewest) {
  server.Load().Reply("x?", "1\r\n2\r\n");
  tcp.TcpWrite("x?");
  EXPECT_EQ(tcp.ReadReply(1000), "2");
}

// A load streaming without a line end must not grow memory: the line keeps
// its first 64 KiB, the rest up to its LF is dropped, said once, and the next
// line is whole again.
TEST_F(TcpTransportTest, OverlongLineIsCutOnceAndTheNextLineIsWhole) {
  const QByteArray block(48 * 1024, 'x');
  server.Load().ReplyChunks("q?", {block, block, block, "tail\r\n"}, 20);
  tcp.TcpWrite("q?");
  const std::string reply = tcp.ReadReply(2000);
  EXPECT_EQ(reply.size(), kMaxReplyBytes);
  EXPECT_EQ(reply.find_first_not_of('x'), std::string::npos);
  EXPECT_THAT(sink.messages, ElementsAre(std::string(kReplyCutMessage)));
  server.Load().Reply("name?", "KV-G100\r\n");
  tcp.TcpWrite("name?");
  EXPECT_EQ(tcp.ReadReply(1000), "KV-G100");
  EXPECT_EQ(sink.messages.size(), 1U);
}

TEST_F(TcpTransportTest, SilentLoadGivesErrRecAfterTheBound) {
  tcp.TcpWrite("name?");
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(tcp.ReadReply(300), kErrRec);
  EXPECT_GE(t.elapsed(), 295);
  EXPECT_LT(t.elapsed(), 1000);
}

TEST_F(TcpTransportTest, WriteDropsAReplyLeftFromBefore) {
  server.Send("stale\r\n");
  QSignalSpy replies(&tcp, &TcpTransport::replyReceived);
  ASSERT_TRUE(replies.wait(1000));
  ASSERT_EQ(tcp.RecvBuf(), "stale");
  server.Load().ReplyChunks("name?", {"KV-", "G100\r\n"}, 30);
  tcp.TcpWrite("name?");
  EXPECT_EQ(tcp.ReadReply(1000), "KV-G100");
}

TEST_F(TcpTransportTest, WaitRecvBufReturnsReplyAndLeavesItInPlace) {
  server.Load().ReplyChunks("MEAS:VC?", {"12.5,", "0.5\r\n"}, 30);
  tcp.TcpWrite("MEAS:VC?");
  EXPECT_EQ(tcp.WaitRecvBuf(1000), "12.5,0.5");
  EXPECT_EQ(tcp.RecvBuf(), "12.5,0.5");
  tcp.ClearRecvBuf();
  EXPECT_EQ(tcp.WaitRecvBuf(50), "");
}

TEST_F(TcpTransportTest, LostConnectionIsReportedAtEveryWriteAndNothingIsRead) {
  tcp.TcpClose();
  tcp.TcpWrite("LOAD OFF");
  tcp.TcpWrite("MEAS:VC?");
  EXPECT_THAT(sink.messages, ElementsAre("Lost Connect!", "Lost Connect!"));
  EXPECT_EQ(tcp.ReadReply(1000), kErrRec);
}

// Refused connects are tried again until the bound, with the event loop
// running all along; then the operator hears about it once.
TEST(TcpConnectTest, RefusedConnectFailsAfterTheBoundWithoutFreezing) {
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
  EXPECT_FALSE(tcp.IsConnected());
}

TEST(TcpConnectTest, LoadThatComesUpDuringTheAttemptsIsReached) {
  const quint16 port = test::LoopbackServer::UnusedPort();
  ASSERT_NE(port, 0);
  test::RecordingSink sink;
  TcpTransport tcp(sink);
  tcp.SetConnectTimeoutMs(3000);
  test::LoopbackServer late;
  bool listening = false;
  QTimer::singleShot(100, [&] { listening = late.Listen(port); });
  EXPECT_TRUE(tcp.TcpOpen(QStringLiteral("127.0.0.1"), port));
  EXPECT_TRUE(listening);
  EXPECT_THAT(sink.messages, IsEmpty());
}

}  // namespace
}  // namespace kv
