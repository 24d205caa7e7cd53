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

// A client on the loopback port of an in-process server.
struct TcpClient {
  explicit TcpClient(const SimServer& server) {
    socket.connectToHost(QHostAddress::LocalHost, server.TcpPort());
    EXPECT_TRUE(socket.waitForConnected(2000));
  }
  void Send(const QByteArray& bytes) {
    socket.write(bytes);
    socket.flush();
  }
  // Collects until a whole line has arrived; counts the arrivals it took.
  QByteArray ReadLine(int* arrivals = nullptr, int timeoutMs = 2000) {
    QByteArray got;
    int chunks = 0;
    QSignalSpy spy(&socket, &QTcpSocket::readyRead);
    while (!got.endsWith('\n')) {
      if (socket.bytesAvailable() == 0 && !spy.wait(timeoutMs)) {
        break;
      }
      const QByteArray chunk = socket.readAll();
      if (!chunk.isEmpty()) {
        got += chunk;
        ++chunks;
      }
    }
    if (arrivals != nullptr) {
      *arrivals = chunks;
    }
    return got;
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
  QTcpSocket socket;
};

std::unique_ptr<SimServer> StartServer(const SimFaults& faults = {}) {
  SimServerConfig config;
  config.faults = faults;
  auto server = std::make_unique<SimServer>(config);
  QString error;
  EXPECT_TRUE(server->ListenTcp(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
  return server;
}

TEST(SimServer, AnswersAQueryOverTcpWithCrLf) {
  auto server = StartServer();
  EXPECT_THAT(server->ReadyLine().toStdString(),
              ::testing::MatchesRegex("kvload-sim ready tcp=127\\.0\\.0\\.1:[0-9]+"));
  TcpClient client(*server);
  client.Send("REM\r\nname?\r\n");
  EXPECT_EQ(client.ReadLine(), "KVLOAD-SIM 100G\r\n");
  EXPECT_THAT(server->Load().ReceivedLines(), ::testing::ElementsAre("REM", "name?"));
}

TEST(SimServer, SplitRepliesArriveInPiecesAndJoinToTheReply) {
  SimFaults faults;
  faults.splitReplies = 3;
  auto server = StartServer(faults);
  TcpClient client(*server);
  client.Send("MEAS:VC?\r\n");
  int arrivals = 0;
  EXPECT_EQ(client.ReadLine(&arrivals), "4.2000,0.0000\r\n");
  EXPECT_GE(arrivals, 2);
}

TEST(SimServer, GarbageRepliesStillEndTheLine) {
  SimFaults faults;
  faults.garbageEvery = 2;
  auto server = StartServer(faults);
  TcpClient client(*server);
  client.Send("TESTING?\r\n");
  EXPECT_EQ(client.ReadLine(), "0\r\n");
  client.Send("TESTING?\r\n");
  const QByteArray junk = client.ReadLine();
  EXPECT_NE(junk, "0\r\n");
  EXPECT_TRUE(junk.endsWith("\r\n"));
  EXPECT_EQ(junk.count('\n'), 1);
}

TEST(SimServer, DelayedAndSilentReplies) {
  SimFaults faults;
  faults.replyDelayMs = 300;
  faults.silentAfter = 1;
  auto server = StartServer(faults);
  TcpClient client(*server);
  client.Send("TESTING?\r\n");
  EXPECT_EQ(client.ReadLine(nullptr, 100), "") << "not before its delay";
  EXPECT_EQ(client.ReadLine(), "0\r\n");
  client.Send("TESTING?\r\n");
  EXPECT_EQ(client.ReadLine(nullptr, 600), "") << "silent after the first line";
  EXPECT_EQ(server->Load().LineCount(), 2);
}

TEST(SimServer, DropsTheConnectionAtTheNthLine) {
  SimFaults faults;
  faults.dropAfter = 2;
  auto server = StartServer(faults);
  TcpClient client(*server);
  QSignalSpy gone(&client.socket, &QTcpSocket::disconnected);
  client.Send("REM\r\nLOAD ON\r\nLOAD OFF\r\n");
  EXPECT_TRUE(gone.wait(2000));
  EXPECT_THAT(server->Load().ReceivedLines(), ::testing::ElementsAre("REM", "LOAD ON"));
}

// The reply faults that change what the load sends, byte for byte.
TEST(SimServer, FaultyRepliesAsSent) {
  const QByteArray measured = "4.2000,0.0000";
  struct Case {
    const char* name;
    SimFaults faults;
    QByteArray sent;
    QByteArray received;
  };
  SimFaults control;
  control.controlEvery = 1;
  SimFaults lineFeed;
  lineFeed.lineFeedEvery = 2;
  SimFaults errRec;
  errRec.measReply = "ErrRec";
  errRec.measReplyEvery = 2;
  SimFaults empty;
  empty.measReply = "";
  const Case cases[] = {
      {"control characters", control, "MEAS:VC?\r\n",
       QByteArray("4.2000\r\x1b[2J\x07,0.0000\t\0\r\r\n", 24)},
      {"line feed inside", lineFeed, "TESTING?\r\nMEAS:VC?\r\n", "0\r\n4.2000\n,0.0000\r\n"},
      {"every second measurement", errRec, "MEAS:VC?\r\nTESTING?\r\nMEAS:VC?\r\n",
       measured + "\r\n0\r\nErrRec\r\n"},
      {"empty measurement", empty, "MEAS:VC?\r\nTESTING?\r\n", "\r\n0\r\n"},
  };
  for (const Case& c : cases) {
    auto server = StartServer(c.faults);
    TcpClient client(*server);
    client.Send(c.sent);
    EXPECT_EQ(client.ReadBytes(c.received.size()), c.received) << c.name;
    EXPECT_EQ(client.ReadBytes(1, 100), "") << c.name << ": nothing more";
  }
}

TEST(SimServer, AnEndlessReplyNeverEndsItsLine) {
  SimFaults faults;
  faults.endlessFrom = 2;
  auto server = StartServer(faults);
  TcpClient client(*server);
  client.Send("TESTING?\r\nMEAS:VC?\r\nTESTING?\r\n");
  EXPECT_EQ(client.ReadBytes(3), "0\r\n");
  const QByteArray stream = client.ReadBytes(1 << 20);
  EXPECT_EQ(stream.size(), 1 << 20);
  EXPECT_FALSE(stream.contains('\n'));
  EXPECT_EQ(server->Load().LineCount(), 3);
}

TEST(SimServer, TheSerialDeviceGoesAwayOnADrop) {
  SimServerConfig config;
  config.faults.dropAfter = 2;
  SimServer server(config);
  QString error;
  ASSERT_TRUE(server.OpenPty(&error)) << error.toStdString();
  const QString path = server.PtyPath();
  ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
  const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  QSignalSpy served(&server, &SimServer::lineServed);
  ASSERT_EQ(::write(fd, "REM\nLOAD ON\n", 12), 12);
  const auto hungUp = [fd] {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR)) != 0;
  };
  EXPECT_TRUE(QTest::qWaitFor(hungUp, 2000)) << "the client sees a hang-up";
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(served.count(), 2);
  ::close(fd);
}

TEST(SimServer, ReceiveLogStampsEveryLineAsItArrives) {
  QTemporaryDir dir;
  SimServerConfig config;
  config.rxLogFile = dir.filePath("rx.log");
  auto server = std::make_unique<SimServer>(config);
  QString error;
  ASSERT_TRUE(server->OpenLog(&error)) << error.toStdString();
  ASSERT_TRUE(server->ListenTcp(QHostAddress::LocalHost, 0, &error));
  TcpClient client(*server);
  QSignalSpy served(server.get(), &SimServer::lineServed);
  const qint64 before = QDateTime::currentMSecsSinceEpoch();
  client.Send("LOAD ON\r\nA\x1b\\B\r\n");
  ASSERT_TRUE(served.wait(2000));
  while (served.count() < 2 && served.wait(2000)) {
  }
  const qint64 after = QDateTime::currentMSecsSinceEpoch();
  QFile log(config.rxLogFile);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "readable while the server runs";
  const QList<QByteArray> records = log.readAll().split('\n');
  ASSERT_EQ(records.size(), 3);
  const QByteArray lines[] = {"LOAD ON", "A\\x1b\\x5cB"};
  for (int i = 0; i < 2; ++i) {
    const QList<QByteArray> fields = records[i].split('\t');
    ASSERT_EQ(fields.size(), 2) << records[i].toStdString();
    EXPECT_GE(fields[0].toLongLong(), before);
    EXPECT_LE(fields[0].toLongLong(), after);
    EXPECT_EQ(fields[1], lines[i]);
  }
}

TEST(SimServer, ServesTheSerialLineOnAPseudoTerminal) {
  SimServerConfig config;
  SimServer server(config);
  QString error;
  ASSERT_TRUE(server.OpenPty(&error)) << error.toStdString();
  const int fd = ::open(server.PtyPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  QSignalSpy served(&server, &SimServer::lineServed);
  ASSERT_EQ(::write(fd, "TESTING?\n", 9), 9);
  ASSERT_TRUE(served.wait(2000));
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  char buf[32] = {};
  EXPECT_EQ(::read(fd, buf, sizeof buf), 2);
  EXPECT_STREQ(buf, "0\n");
  ::close(fd);
}

TEST(SimServer, LogFileHoldsEveryLine) {
  QTemporaryDir dir;
  SimServerConfig config;
  config.logFile = dir.filePath("sim.log");
  {
    SimServer server(config);
    QString error;
    ASSERT_TRUE(server.OpenLog(&error));
    server.Load().HandleLine("LOAD OFF", 0);
    server.Load().HandleLine("BOGUS", 0);
  }
  QFile log(config.logFile);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(),
            "0.000\tRX\tLOAD OFF\n0.000\tRX\tBOGUS\n0.000\tERR\tunknown command: BOGUS\n");
}

TEST(SimSession, CutsTheStreamIntoLinesWhateverTheChunks) {
  std::vector<std::string> lines;
  QByteArray out;
  SimSession session(
      [&](std::string_view l) -> std::optional<std::string> {
        lines.emplace_back(l);
        return std::nullopt;
      },
      [&](const QByteArray& b) { out += b; }, "\n", SimFaults{});
  session.Feed("LOAD");
  session.Feed(" ON\r");
  session.Feed("\nREM\nMODE CC\r\n");
  session.Feed(QByteArray(5000, 'x'));
  EXPECT_THAT(lines, ::testing::ElementsAre("LOAD ON", "REM", "MODE CC", std::string(4096, 'x')));
  EXPECT_TRUE(out.isEmpty());
}

bool Parse(const QStringList& args, SimServerLaunch* launch, QString* error) {
  QCommandLineParser parser;
  AddSimServerOptions(parser);
  if (!parser.parse(QStringList{"kvload-sim"} + args)) {
    *error = parser.errorText();
    return false;
  }
  return ReadSimServerOptions(parser, launch, error);
}

TEST(SimServerOptions, ReadsTheSourceAndTheFaults) {
  SimServerLaunch launch;
  QString error;
  // "_" stands for a space inside a value; --meas-reply takes an empty text.
  QStringList args = QString(
                         "--source supply --voltage 24 --current-limit 3 --model LOAD_300F "
                         "--port 0 --no-serial --reply-delay 50 --split-replies 2 "
                         "--drop-after 7 --silent --endless-reply 3 --control-every 4 "
                         "--linefeed-every 5 --meas-reply-every 6 --rx-log rx.log --meas-reply")
                         .split(' ')
                         .replaceInStrings("_", " ");
  args << "";
  ASSERT_TRUE(Parse(args, &launch, &error)) << error.toStdString();
  const SimSourceParams& s = launch.config.load.source;
  EXPECT_EQ(s.kind, SimSourceKind::Supply);
  EXPECT_EQ(s.fullVoltage, 24.0);
  EXPECT_EQ(s.currentLimitA, 3.0);
  EXPECT_EQ(launch.config.load.modelText, "LOAD 300F");
  EXPECT_EQ(launch.port, 0);
  EXPECT_TRUE(launch.tcp);
  EXPECT_FALSE(launch.serial);
  EXPECT_EQ(launch.config.faults.replyDelayMs, 50);
  EXPECT_EQ(launch.config.faults.splitReplies, 2);
  EXPECT_EQ(launch.config.faults.dropAfter, 7);
  EXPECT_EQ(launch.config.faults.silentAfter, 0);
  EXPECT_EQ(launch.config.faults.endlessFrom, 3);
  EXPECT_EQ(launch.config.faults.controlEvery, 4);
  EXPECT_EQ(launch.config.faults.lineFeedEvery, 5);
  EXPECT_EQ(launch.config.faults.measReply, QByteArray(""));
  EXPECT_EQ(launch.config.faults.measReplyEvery, 6);
  EXPECT_EQ(launch.config.rxLogFile, "rx.log");
  EXPECT_EQ(launch.address, QHostAddress(QHostAddress::LocalHost));
}

TEST(SimServerOptions, RefusesValuesItCannotUse) {
  const QStringList bad[] = {
      {"--port", "70000"},
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
    SimServerLaunch launch;
    QString error;
    EXPECT_FALSE(Parse(args, &launch, &error)) << args.join(' ').toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
}

}  // namespace
}  // namespace kv
