// The LAN transport's own ways: replies that arrive by themselves, lost and
// refused connections. Query and reply are checked in the router's tests.
#include "link/transports/tcp_transport.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
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

// Each way a connect fails is named with the system's reason; a host name
// and an IPv6 address connect like an IPv4 address.
TEST(TcpConnectTest, FailuresNameTheirCauseNamesAndIpv6Connect) {
  // A listener that never accepts, its one-place queue taken: the requests
  // that follow go unanswered.
  const int full = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  ASSERT_TRUE(::bind(full, raw, size) == 0 && ::listen(full, 0) == 0 &&
              ::getsockname(full, raw, &size) == 0);
  QTcpSocket queued;
  queued.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
  ASSERT_TRUE(queued.waitForConnected(1000));
  test::LoopbackServer v4;
  QTcpServer v6;
  ASSERT_TRUE(v4.Listen() && v6.listen(QHostAddress::LocalHostIPv6));
  const struct {
    const char* host;
    quint16 port;
    const char* cause;  // empty: connects
  } cases[] = {
      {"127.0.0.1", test::LoopbackServer::UnusedPort(), "refused (Connection refused)"},
      // Linux refuses a TCP connect to a multicast address at once.
      {"224.0.0.1", 4001, "unreachable (Network unreachable)"},
      {"127.0.0.1", ntohs(address.sin_port), "timed out (no answer within 0.3 s)"},
      {"localhost", v4.Port(), ""},
      {"::1", v6.serverPort(), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    test::RecordingSink sink;
    TcpTransport tcp(sink);
    tcp.SetConnectTimeoutMs(300);
    EXPECT_EQ(tcp.TcpOpen(QString::fromLatin1(c.host), c.port), *c.cause == '\0');
    EXPECT_EQ(sink.causes,
              *c.cause == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.cause});
  }
  ::close(full);
}

}  // namespace
}  // namespace kv
