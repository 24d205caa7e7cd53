// The link as the runner sees it: each ConnectMode reaches its transport, and
// the reply rules hold on each of them.
#include "link/transports/link_router.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSerialPort>
#include <optional>

#include "link/instrument_link.h"
#include "link/reply_rules.h"
#include "support/qt/loopback_server.h"
#include "support/qt/pty_pair.h"
#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A load at each end the router can reach: a pseudo-terminal for serial and a
// loopback server for the LAN.
class LinkRouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Start()) << pty_.Error().toStdString();
    far_.setPortName(pty_.FarPath());
    ASSERT_TRUE(far_.open(QIODevice::ReadWrite));
    QObject::connect(&far_, &QSerialPort::readyRead, [this] { farLoad_.Feed(far_.readAll()); });
    ASSERT_TRUE(server_.Listen());
  }

  LinkSettings Mode(std::int16_t mode) {
    LinkSettings s;
    s.connectMode = mode;
    s.comPort = pty_.NearPath().toStdString();
    s.lanIp = {127, 0, 0, 1};
    s.lanPort = server_.Port();
    return s;
  }
  test::LineResponder& Load(std::int16_t mode) {
    return mode == kModeSerial ? farLoad_ : server_.Load();
  }

  test::PtyPair pty_;
  QSerialPort far_;
  test::LineResponder farLoad_{[this](const QByteArray& data) {
    far_.write(data);
    far_.flush();
  }};
  test::LoopbackServer server_;
  test::RecordingSink sink_;
};

// Opening again says REM again; the LAN keeps its one connection. RTS/CTS as
// a fresh installation has it: the pseudo-terminal refuses RTS, which must
// not stop the open.
TEST_F(LinkRouterTest, EachModeOpensItsLoadAndEndsLinesItsWay) {
  for (const auto& [mode, wire] : {std::pair{kModeSerial, "REM\nREM\nname?\n"},
                                   std::pair{kModeLan, "REM\r\nREM\r\nname?\r\n"}}) {
    LinkRouter link(Mode(mode), sink_);
    link.OpenInstrument(mode);
    link.OpenInstrument(mode);
    Load(mode).Reply("name?", "KV-G100\r\n");
    link.WriteInstrument("name?");
    EXPECT_EQ(link.ReadInstrument(), "KV-G100");
    EXPECT_EQ(Load(mode).Received(), wire);
  }
  EXPECT_EQ(server_.Connections(), 1);
  EXPECT_THAT(sink_.messages, IsEmpty());
}

// A read ends at the line's LF, or after the one-second bound with what came
// (serial) or nothing (LAN). The rows run in order on one link: a reply left
// from the row before must not leak into the next.
TEST_F(LinkRouterTest, RepliesAreTrimmedOrRefusedOnEachTransport) {
  const QByteArray block(48 * 1024, 'x');
  const std::string cut(kMaxReplyBytes, 'x');
  const std::string err(kErrRec);
  struct Case {
    const char* name;
    QList<QByteArray> chunks;           // 30 ms apart
    std::optional<std::string> serial;  // none: not checked
    std::string lan;
    bool serialWaits;  // for the whole bound
    bool lanWaits;
  };
  const Case cases[] = {
      // A load streaming without a line end must not grow memory: the line
      // keeps its first 64 KiB, said once, and the next line is whole again.
      {"Overlong", {block, block, block, "tail\r\n"}, cut, cut, false, false},
      {"Lf", {"OK\n"}, "OK", "OK", false, false},
      {"ShortWithCrLf", {"5\r\n"}, "5", "5", false, false},
      {"LfAlone", {"\n"}, err, err, false, true},
      {"NoLf", {"12.3"}, "12.3", err, true, true},
      {"SplitOverArrivals", {"1.0,", "2.", "0\r\n"}, "1.0,2.0", "1.0,2.0", false, false},
      {"Nothing", {}, err, err, true, true},
      {"LoneCharacter", {"7"}, err, err, true, true},
      {"TwoLinesInOneArrival", {"1\r\n2\r\n"}, std::nullopt, "2", false, false},
  };
  for (const std::int16_t mode : {kModeSerial, kModeLan}) {
    LinkRouter link(Mode(mode), sink_);
    link.OpenInstrument(mode);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (mode == kModeSerial ? " over serial" : " over LAN"));
      sink_.messages.clear();
      Load(mode).ReplyChunks("q?", c.chunks, 30);
      link.WriteInstrument("q?");
      QElapsedTimer t;
      t.start();
      const std::string reply = link.ReadInstrument();
      if (const std::optional<std::string> expected = mode == kModeSerial ? c.serial : c.lan) {
        EXPECT_EQ(reply, *expected);
      }
      const bool waits = mode == kModeSerial ? c.serialWaits : c.lanWaits;
      EXPECT_GE(t.elapsed(), waits ? 995 : 0);
      EXPECT_LT(t.elapsed(), waits ? 1500 : 900);
      EXPECT_EQ(sink_.messages,
                std::vector<std::string>(c.lan == cut ? 1 : 0, std::string(kReplyCutMessage)));
    }
  }
}

// The mode decides where every operation goes from the moment it changes; a
// mode without a transport does nothing at all.
TEST_F(LinkRouterTest, ModeDecidesWhereEveryOperationGoes) {
  server_.Load().Reply("NG?", "0\r\n");
  LinkRouter link(Mode(3), sink_);
  link.OpenInstrument(3);
  link.WriteInstrument("LOAD ON");
  EXPECT_EQ(link.ReadInstrument(), "");
  link.CloseInstrument();
  EXPECT_EQ(server_.Connections(), 0);
  link.OpenInstrument(kModeLan);  // open goes by its argument
  link.SetSettings(Mode(kModeLan));
  link.WriteInstrument("NG?");
  EXPECT_EQ(link.ReadInstrument(), "0");
  link.SetSettings(Mode(3));
  link.WriteInstrument("LOAD ON");
  EXPECT_EQ(link.ReadInstrument(), "");
  link.SetSettings(Mode(kModeLan));
  server_.Load().ReplyChunks("MEAS:VC?", {"12.5,", "0.5\r\n"}, 30);
  link.WriteInstrument("MEAS:VC?");
  // The measurement poll's own wait leaves the reply in place until taken.
  EXPECT_EQ(link.WaitRecvBuf(1000), "12.5,0.5");
  EXPECT_EQ(link.WaitRecvBuf(20), "12.5,0.5");
  link.ClearRecvBuf();
  EXPECT_EQ(link.WaitRecvBuf(20), "");
  EXPECT_THAT(server_.Load().Lines(), ElementsAre("REM", "NG?", "MEAS:VC?"));
  EXPECT_THAT(sink_.messages, IsEmpty());
}

TEST_F(LinkRouterTest, SerialWriteReopensAClosedPortWithItsSettings) {
  LinkRouter link(Mode(kModeSerial), sink_);
  link.OpenInstrument(kModeSerial);
  link.CloseInstrument();
  farLoad_.Reply("name?", "KV-A200\r\n");
  link.WriteInstrument("name?");
  EXPECT_EQ(link.ReadInstrument(), "KV-A200");
}

TEST_F(LinkRouterTest, SerialPortNumberZeroOpensNothingAndStaysQuiet) {
  LinkSettings s = Mode(kModeSerial);
  s.comPort.assign(1, '0');  // GCC 12 sees a false overlap in = "0" here (-Wrestrict)
  LinkRouter link(s, sink_);
  link.OpenInstrument(kModeSerial);
  // The write tries the port as it stands (no name: it fails quietly).
  link.WriteInstrument("LOAD OFF");
  EXPECT_EQ(link.ReadInstrument(), "");
  EXPECT_THAT(sink_.messages, IsEmpty());
}

// A port past 65535 must not wrap around to a listening one.
TEST_F(LinkRouterTest, UnreachableLanSaysConnectFailThenLostConnect) {
  for (const int port : {int{test::LoopbackServer::UnusedPort()}, 65536 + server_.Port()}) {
    SCOPED_TRACE(port);
    sink_ = {};
    LinkSettings s = Mode(kModeLan);
    s.lanPort = port;
    LinkRouter link(s, sink_);
    link.Tcp().SetConnectTimeoutMs(200);
    link.OpenInstrument(kModeLan);
    EXPECT_THAT(sink_.messages, ElementsAre("Connect Fail!", "Lost Connect!"));
    EXPECT_THAT(sink_.failures,
                ElementsAre(LinkFailure::ConnectFailed, LinkFailure::ConnectionLost));
    EXPECT_EQ(link.ReadInstrument(), "ErrRec");
  }
  EXPECT_EQ(server_.Connections(), 0);
}

}  // namespace
}  // namespace kv
