#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QCommandLineParser>
#include <QDateTime>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "sim/server/sim_server.h"
#include "sim/server/sim_server_options.h"
#include "sim/server/sim_session.h"

namespace kv {
namespace {

bool Parse(const QStringList& args, SimServerLaunch* launch, QString* error) {
  QCommandLineParser parser;
  AddSimServerOptions(parser);
  if (!parser.parse(QStringList{"kvload-sim"} + args)) {
    *error = parser.errorText();
    return false;
  }
  return ReadSimServerOptions(parser, launch, error);
}

// A client on the loopback port of a server set up by kvload-sim's own options.
struct TcpBench {
  explicit TcpBench(const QStringList& options) {
    SimServerLaunch launch;
    QString error;
    EXPECT_TRUE(Parse(options, &launch, &error)) << error.toStdString();
    server = std::make_unique<SimServer>(launch.config);
    EXPECT_TRUE(server->ListenTcp(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
    socket.connectToHost(QHostAddress::LocalHost, server->TcpPort());
    EXPECT_TRUE(socket.waitForConnected(2000));
  }
  // Collects until `size` bytes have arrived or nothing more comes.
  QByteArray ReadBytes(qsizetype size, int timeoutMs = 2000) {
    QByteArray got;
    QSignalSpy spy(&socket, &QTcpSocket::readyRead);
    while (got.size() < size && (socket.bytesAvailable() > 0 || spy.wait(timeoutMs))) {
      got += socket.read(size - got.size());
    }
    return got;
  }
  std::unique_ptr<SimServer> server;
  QTcpSocket socket;
};

// What a TCP client receives, byte for byte, with each fault the load shows on request.
TEST(SimServer, RepliesOverTcpAsSent) {
  struct Case {
    const char* name;
    QStringList options;
    QByteArray sent;
    QByteArray received;
    int lines;
    qint64 notBeforeMs;
  };
  const Case cases[] = {
      {"a supply at its current limit",
       {"--source", "supply", "--voltage", "24", "--current-limit", "3", "--model", "LOAD 300F"},
       "name?\r\nMEAS:VC?\r\nCC:HIGH 4\r\nLOAD ON\r\nMEAS:VC?\r\n",
       "LOAD 300F\r\n24.0000,0.0000\r\n0.0000,3.0000\r\n",
       5,
       0},
      {"split", {"--split-replies", "3"}, "MEAS:VC?\r\n", "4.2000,0.0000\r\n", 1, 40},
      {"delayed", {"--reply-delay", "300"}, "TESTING?\r\n", "0\r\n", 1, 300},
      {"silent", {"--silent"}, "TESTING?\r\n", "", 1, 0},
      {"silent after", {"--silent-after", "1"}, "TESTING?\r\nTESTING?\r\n", "0\r\n", 2, 0},
      {"dropped", {"--drop-after", "2"}, "REM\r\nLOAD ON\r\nLOAD OFF\r\n", "", 2, 0},
      {"dropped for good", {"--drop-after", "1", "--stay-away"}, "REM\r\nLOAD ON\r\n", "", 1, 0},
      {"garbage",
       {"--garbage-every", "2"},
       "TESTING?\r\nTESTING?\r\n",
       "0\r\nN\x02.j?\x12<\x12\r\n",
       2,
       0},
      {"control characters",
       {"--control-every", "1"},
       "MEAS:VC?\r\n",
       QByteArray("4.2000\r\x1b[2J\x07,0.0000\t\0\r\r\n", 24),
       1,
       0},
      {"line feed inside",
       {"--linefeed-every", "2"},
       "TESTING?\r\nMEAS:VC?\r\n",
       "0\r\n4.2000\n,0.0000\r\n",
       2,
       0},
      {"every second measurement",
       {"--meas-reply", "ErrRec", "--meas-reply-every", "2"},
       "MEAS:VC?\r\nTESTING?\r\nMEAS:VC?\r\n",
       "4.2000,0.0000\r\n0\r\nErrRec\r\n",
       3,
       0},
      {"empty measurement", {"--meas-reply", ""}, "MEAS:VC?\r\nTESTING?\r\n", "\r\n0\r\n", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TcpBench b(c.options);
    QSignalSpy gone(&b.socket, &QTcpSocket::disconnected);
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    b.socket.write(c.sent);
    EXPECT_EQ(b.ReadBytes(c.received.size()), c.received);
    EXPECT_GE(QDateTime::currentMSecsSinceEpoch() - start, c.notBeforeMs);
    EXPECT_EQ(b.ReadBytes(1, 100), "") << "nothing more";
    const bool drops = c.options.contains("--drop-after");
    EXPECT_EQ(drops, gone.count() > 0 || gone.wait(drops ? 2000 : 100));
    // A load that stays away takes no new connection.
    EXPECT_EQ(b.server->TcpPort() == 0, c.options.contains("--stay-away"));
    EXPECT_EQ(b.server->Load().LineCount(), c.lines);
  }
}

TEST(SimServer, AnEndlessReplyNeverEndsItsLine) {
  TcpBench b({"--endless-reply", "2"});
  b.socket.write("TESTING?\r\nMEAS:VC?\r\nTESTING?\r\n");
  EXPECT_EQ(b.ReadBytes(3), "0\r\n");
  const QByteArray stream = b.ReadBytes(1 << 20);
  EXPECT_EQ(stream.size(), 1 << 20);
  EXPECT_FALSE(stream.contains('\n'));
  EXPECT_EQ(b.server->Load().LineCount(), 3);
}

// The serial line: replies with LF, every line in the receive log as it
// arrives (stamped, control bytes escaped), and the device gone on a drop.
TEST(SimServer, ServesAPseudoTerminalThatLogsWhatArrivesAndGoesAwayOnADrop) {
  QTemporaryDir dir;
  SimServerConfig config;
  config.faults.dropAfter = 3;
  config.rxLogFile = dir.filePath("rx.log");
  SimServer server(config);
  QString error;
  ASSERT_TRUE(server.OpenLog(&error) && server.OpenPty(&error)) << error.toStdString();
  const QString path = server.PtyPath();
  const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  QSignalSpy served(&server, &SimServer::lineServed);
  pollfd p{fd, POLLIN, 0};
  const auto readable = [&p] { return ::poll(&p, 1, 0) == 1; };
  const qint64 before = QDateTime::currentMSecsSinceEpoch();
  ASSERT_EQ(::write(fd, "A\x1b\\B\nTESTING?\n", 14), 14);
  ASSERT_TRUE(QTest::qWaitFor(readable, 2000));
  char buf[32] = {};
  EXPECT_EQ(::read(fd, buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "0\n");
  ASSERT_EQ(::write(fd, "LOAD ON\nREM\n", 12), 12);
  const auto hungUp = [&] { return readable() && (p.revents & (POLLHUP | POLLERR)) != 0; };
  EXPECT_TRUE(QTest::qWaitFor(hungUp, 2000)) << "the client sees a hang-up";
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(served.count(), 3);
  ::close(fd);
  const qint64 after = QDateTime::currentMSecsSinceEpoch();
  QFile log(config.rxLogFile);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "readable while the server runs";
  const QList<QByteArray> records = log.readAll().split('\n');
  ASSERT_EQ(records.size(), 4);
  const QByteArray lines[] = {"A\\x1b\\x5cB", "TESTING?", "LOAD ON"};
  for (int i = 0; i < 3; ++i) {
    const qsizetype tab = records[i].indexOf('\t');
    EXPECT_EQ(records[i].mid(tab + 1), lines[i]);
    EXPECT_GE(records[i].left(tab).toLongLong(), before);
    EXPECT_LE(records[i].left(tab).toLongLong(), after);
  }
}

TEST(SimSession, CutsTheStreamIntoLinesWhateverTheChunks) {
  std::vector<std::string> lines;
  SimSession session(
      [&](std::string_view l) -> std::optional<std::string> {
        lines.emplace_back(l);
        return std::nullopt;
      },
      [](const QByteArray&) {}, "\n", SimFaults{});
  session.Feed("LOAD");
  session.Feed(" ON\r");
  session.Feed("\nREM\nMODE CC\r\n");
  session.Feed(QByteArray(5000, 'x'));
  EXPECT_THAT(lines, ::testing::ElementsAre("LOAD ON", "REM", "MODE CC", std::string(4096, 'x')));
}

TEST(SimServerOptions, ReadsWhereItServesAndRefusesValuesItCannotUse) {
  SimServerLaunch launch;
  QString error;
  ASSERT_TRUE(Parse({"--port", "0", "--no-serial"}, &launch, &error)) << error.toStdString();
  EXPECT_EQ(launch.port, 0);
  EXPECT_TRUE(launch.tcp);
  EXPECT_FALSE(launch.serial);
  const QStringList bad[] = {
      {"--source", "mains"},
      {"--soc", "150"},
      {"--capacity", "0"},
      {"--listen", "localhost"},
      {"--reply-eol", "cr"},
      {"--split-replies", "0"},
      {"--voltage", "3", "--empty-voltage", "3.5"},
      {"--no-tcp", "--no-serial"},
      {"--reply-delay", "abc"},
      {"--meas-reply-every", "0"},
  };
  for (const QStringList& args : bad) {
    SimServerLaunch refused;
    QString why;
    EXPECT_FALSE(Parse(args, &refused, &why)) << args.join(' ').toStdString();
    EXPECT_FALSE(why.isEmpty());
  }
}

}  // namespace
}  // namespace kv
