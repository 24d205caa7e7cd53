// The serial transport on one end of a pseudo-terminal pair, a scripted load
// on the other.
#include "link/transports/serial_transport.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>

#include "link/instrument_link.h"
#include "link/reply_rules.h"
#include "support/qt/pty_pair.h"
#include "support/qt/recording_sink.h"
#include "transports/serial_peer.h"

namespace kv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SerialTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Start()) << pty.Error().toStdString();
    ASSERT_TRUE(peer.Open(pty.FarPath()));
    // RTS/CTS as a fresh installation has it: the pseudo-terminal refuses RTS,
    // which must not stop the open.
    ASSERT_TRUE(serial.SerialOpen(pty.NearPath(), 115200, 2));
    QSignalSpy rem(&peer.Load(), &test::LineResponder::lineReceived);
    ASSERT_TRUE(rem.wait(2000));
  }

  test::PtyPair pty;
  test::SerialPeer peer;
  test::RecordingSink sink;
  SerialTransport serial{sink};
};

TEST_F(SerialTransportTest, OpenWritesRemWithLfOnly) {
  EXPECT_EQ(peer.Load().Received(), QByteArray("REM\n"));
  EXPECT_THAT(sink.messages, IsEmpty());
}

struct ReplyCase {
  const char* name;
  QList<QByteArray> chunks;
  std::string expected;
};

class SerialReplyTest : public SerialTransportTest,
                        public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(SerialReplyTest, ReplyIsTrimmedOrRefused) {
  peer.Load().ReplyChunks("q?", GetParam().chunks, 30);
  serial.SerialWrite("q?");
  EXPECT_EQ(serial.SerialRead(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SerialReplyTest,
    ::testing::Values(ReplyCase{"CrLf", {"12.345\r\n"}, "12.345"}, ReplyCase{"Lf", {"OK\n"}, "OK"},
                      ReplyCase{"ShortWithCrLf", {"5\r\n"}, "5"},
                      ReplyCase{"LfAlone", {"\n"}, "ErrRec"},
                      ReplyCase{"SplitOverArrivals", {"1.000,", "2.0", "00\r\n"}, "1.000,2.000"}),
    [](const ::testing::TestParamInfo<ReplyCase>& p) { return p.param.name; });

TEST_F(SerialTransportTest, NothingWithinTheSecondGivesErrRec) {
  serial.SerialWrite("q?");
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(serial.SerialRead(), kErrRec);
  EXPECT_GE(t.elapsed(), 995);
  EXPECT_LT(t.elapsed(), 1500);
}

TEST_F(SerialTransportTest, ReplyWithoutLfIsTakenAsItStandsAfterTheSecond) {
  peer.Load().Reply("q?", "12.3");
  serial.SerialWrite("q?");
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(serial.SerialRead(), "12.3");
  EXPECT_GE(t.elapsed(), 995);
}

TEST_F(SerialTransportTest, OverlongLineIsCutOnceAndTheReadEndsAtItsLf) {
  const QByteArray block(48 * 1024, 'x');
  peer.Load().ReplyChunks("q?", {block, block, block, "tail\n"}, 20);
  serial.SerialWrite("q?");
  QElapsedTimer t;
  t.start();
  const std::string reply = serial.SerialRead();
  EXPECT_EQ(reply.size(), kMaxReplyBytes);
  EXPECT_EQ(reply.find_first_not_of('x'), std::string::npos);
  EXPECT_LT(t.elapsed(), 900);
  EXPECT_THAT(sink.messages, ElementsAre(std::string(kReplyCutMessage)));
}

TEST_F(SerialTransportTest, ShorterBoundAppliesToTheLoneCharacter) {
  serial.SetReadTimeoutMs(150);
  peer.Load().Reply("q?", "7");
  serial.SerialWrite("q?");
  EXPECT_EQ(serial.SerialRead(), kErrRec);
}

TEST_F(SerialTransportTest, ClosedPortReadsEmptyAtOnce) {
  serial.SerialClose();
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(serial.SerialRead(), "");
  EXPECT_LT(t.elapsed(), 100);
}

TEST_F(SerialTransportTest, WriteReopensAClosedPortWithItsSettings) {
  serial.SerialClose();
  peer.Load().Reply("name?", "KV-G100\r\n");
  serial.SerialWrite("name?");
  EXPECT_TRUE(serial.IsOpen());
  EXPECT_EQ(serial.SerialRead(), "KV-G100");
}

TEST_F(SerialTransportTest, ReopenClosesFirstAndWritesRemAgain) {
  ASSERT_TRUE(serial.SerialOpen(pty.NearPath(), 9600, 0));
  QSignalSpy rem(&peer.Load(), &test::LineResponder::lineReceived);
  ASSERT_TRUE(rem.wait(2000));
  EXPECT_THAT(peer.Load().Lines(), ElementsAre("REM", "REM"));
}

TEST(SerialOpenTest, MissingPortAsksToCheckIt) {
  test::RecordingSink sink;
  SerialTransport serial(sink);
  EXPECT_FALSE(serial.SerialOpen(QStringLiteral("/dev/kv-no-such-port"), 115200, 2));
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_THAT(sink.messages, ElementsAre("Please check COM Port is correct?"));
  EXPECT_THAT(sink.failures, ElementsAre(LinkFailure::PortUnavailable));
  // A later write fails quietly (error line only) and a read finds the port closed.
  serial.SerialWrite("LOAD OFF");
  EXPECT_EQ(serial.SerialRead(), "");
  EXPECT_EQ(sink.messages.size(), 1u);
}

TEST(SerialErrorLineTest, CodeAndDescriptionFollowTheStamp) {
  const QString line = SerialErrorLine(7, QStringLiteral("Permission denied"));
  EXPECT_TRUE(line.endsWith(QStringLiteral(",7,Permission denied"))) << line.toStdString();
  EXPECT_FALSE(line.startsWith(QLatin1Char(',')));
}

}  // namespace
}  // namespace kv
