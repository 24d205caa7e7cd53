// The live station on a real event loop, talking to a load on the loopback
// interface through the LAN transport.
#include "station/station.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "link/temp_folder.h"
#include "link/transports/link_router.h"
#include "results/csv_export.h"
#include "runner/step_end.h"
#include "runner/system_clock.h"
#include "station/bench.h"
#include "station/run_journal_keeper.h"
#include "steps/step_columns.h"
#include "support/qt/loopback_server.h"
#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    server.Load().Reply("name?", "KV-G100\r\n");
    server.Load().Reply("MEAS:VC?", "12.000,1.000\r\n");
    // The bench, as both programs build it: the link's watch reports a lost
    // load to the station.
    BenchOptions options;
    options.iniPath = folder.File("KV26.INI");
    options.adjust = [port = server.Port()](LinkSettings s) {
      s.connectMode = kModeLan;
      s.lanIp = {127, 0, 0, 1};
      s.lanPort = port;
      return s;
    };
    bench = Bench::Open(options, sink);
    station = &bench->GetStation();
    // One ten-second constant-current discharge.
    StepGrid& grid = station->Steps();
    grid.SetRows(3);
    grid.SetCell(1, kColStepNo, "1");
    grid.SetCell(1, kColFunction, "Discharge");
    grid.SetCell(1, kColMode, "CC");
    grid.SetCell(1, kColSinkValue, "1");
    grid.SetCell(1, kColTStop, "10");
  }

  void TearDown() override {
    if (station) {
      station->Halt();
    }
  }

  QStringList Lines() { return server.Load().Lines(); }

  test::TempFolder folder;
  test::LoopbackServer server;
  test::RecordingSink sink;
  std::unique_ptr<Bench> bench;
  Station* station = nullptr;
};

TEST_F(StationTest, RunIdentifiesFirstTicksASecondApartJournalsEachRunAndAStopLeavesNoTick) {
  SystemClock clock;
  RunJournalKeeper keeper(*station, clock);
  keeper.SetFolder(folder.path().string());
  QSignalSpy journals(&keeper, &RunJournalKeeper::started);
  QSignalSpy identified(station, &Station::identified);
  QSignalSpy finished(station, &Station::tickFinished);
  // Each tick waits a fifth of a second for its measurement; the ticks still
  // start a second apart. The connection dialog closes while the first tick
  // waits: that identification is held until the tick is done.
  server.Load().ReplyChunks("MEAS:VC?", {"", "12.000,1.000\r\n"}, 200);
  QObject::connect(&server.Load(), &test::LineResponder::lineReceived, station,
                   [&](const QString& line) {
                     if (line == QLatin1String("MEAS:VC?") && identified.count() == 1) {
                       station->Identify();
                     }
                   });
  QElapsedTimer sinceRun;
  std::vector<qint64> tickStarts;
  QObject::connect(station, &Station::tickStarted, station,
                   [&] { tickStarts.push_back(sinceRun.elapsed()); });
  sinceRun.start();
  station->Run();
  EXPECT_TRUE(station->IsRunning());
  ASSERT_EQ(journals.count(), 1);

  ASSERT_TRUE(identified.wait(1000));
  EXPECT_EQ(station->ModelText(), "KV-G100");
  EXPECT_TRUE(station->OfferedFunctionList().contains(QStringLiteral("Sequence Load")));
  EXPECT_TRUE(tickStarts.empty());

  ASSERT_TRUE(finished.wait(1500));
  EXPECT_EQ(identified.count(), 1);
  while (finished.count() < 2 && finished.wait(1500)) {
  }
  EXPECT_EQ(identified.count(), 2);
  ASSERT_GE(tickStarts.size(), 2u);
  // A tick that waited for the previous reply would start 200 ms late; the
  // margin below that is for a busy machine, not for the tick's precision
  // (measured in bench/).
  EXPECT_NEAR(static_cast<double>(tickStarts[0]), 1000.0, 120.0);
  EXPECT_NEAR(static_cast<double>(tickStarts[1] - tickStarts[0]), 1000.0, 120.0);
  station->Stop();
  ASSERT_GE(station->Log().RowCount(), 2u);

  EXPECT_THAT(Lines().mid(0, 2), ElementsAre("REM", "name?"));
  const qsizetype query = Lines().indexOf(QStringLiteral("MEAS:VC?"));
  ASSERT_GE(query, 2);
  EXPECT_THAT(Lines().mid(query + 1, 2), ElementsAre("REM", "name?"));
  EXPECT_THAT(station->Log().RowView(0), Contains("12.000"));

  std::string expected(kCsvHeader);
  expected += "\r\n";
  for (std::size_t r = 0; r < station->Log().RowCount(); ++r) {
    AppendCsvRow(expected, station->Log().RowView(r));
  }
  const std::string first = journals.at(0).at(0).toString().toStdString();
  EXPECT_EQ(test::ReadBytes(first), expected);

  // The next run, stopped at once on the open link: a new journal, the load
  // off and no tick.
  const qsizetype before = Lines().size();
  QSignalSpy ticks(station, &Station::tickStarted);
  station->Run();
  ASSERT_EQ(journals.count(), 2);
  EXPECT_NE(journals.at(1).at(0).toString().toStdString(), first);
  station->Stop();
  EXPECT_FALSE(station->IsRunning());
  EXPECT_FALSE(ticks.wait(1300));
  EXPECT_EQ(test::ReadBytes(first), expected);
  EXPECT_THAT(Lines().mid(before), Contains("LOAD OFF"));
  EXPECT_THAT(Lines().mid(before), Not(Contains("MEAS:VC?")));
  EXPECT_THAT(Lines().mid(before), Not(Contains("LOAD ON")));
  EXPECT_THAT(sink.messages, IsEmpty());
}

TEST_F(StationTest, StopDuringAWaitingQueryGoesOutAtOnceAndStaysInForce) {
  server.Load().ReplyChunks("MEAS:VC?", {}, 0);  // the load never answers
  QElapsedTimer sinceQuery;
  qint64 loadOffAfterMs = -1;
  bool tickWaitingAtLoadOff = false;
  QObject::connect(&server.Load(), &test::LineResponder::lineReceived, station,
                   [&](const QString& line) {
                     if (line == QLatin1String("MEAS:VC?")) {
                       sinceQuery.start();
                       // The operator presses Stop while the tick waits. (Queued:
                       // a click comes from the event loop, not from this handler.)
                       QMetaObject::invokeMethod(station, &Station::Stop, Qt::QueuedConnection);
                     } else if (line == QLatin1String("LOAD OFF")) {
                       loadOffAfterMs = sinceQuery.elapsed();
                       tickWaitingAtLoadOff = station->IsLinkBusy();
                     }
                   });
  QSignalSpy finished(station, &Station::tickFinished);
  station->Run();
  ASSERT_TRUE(finished.count() > 0 || finished.wait(3000));
  ASSERT_GE(loadOffAfterMs, 0);
  EXPECT_LT(loadOffAfterMs, 200);
  EXPECT_TRUE(tickWaitingAtLoadOff);

  EXPECT_FALSE(station->IsRunning());
  EXPECT_FALSE(station->IsRunnerTimerActive());
  EXPECT_EQ(station->Log().RowCount(), 0u);
  EXPECT_EQ(Lines().last(), QStringLiteral("LOAD OFF"));
  EXPECT_EQ(Lines().count(QStringLiteral("MEAS:VC?")), 1);
}

TEST_F(StationTest, TickThatFiresWhileTheIdentificationWaitsIsHeldUntilItIsDone) {
  // A slow load: the model name comes just after the first tick is due.
  server.Load().ReplyChunks("name?", {"", "KV-G100\r\n"}, 950);
  QSignalSpy identified(station, &Station::identified);
  QSignalSpy finished(station, &Station::tickFinished);
  bool identifiedBeforeTick = false;
  QObject::connect(station, &Station::tickStarted, station,
                   [&] { identifiedBeforeTick = identified.count() == 1; });
  station->Run();
  ASSERT_TRUE(finished.wait(3000));
  station->Stop();
  EXPECT_TRUE(identifiedBeforeTick);
  EXPECT_EQ(station->ModelText(), "KV-G100");
  ASSERT_EQ(station->Log().RowCount(), 1u);
  EXPECT_THAT(station->Log().RowView(0), Contains("12.000"));
}

TEST_F(StationTest, ALoadThatDropsTheLinkIsReachedAgainOnceWithinABoundAndTheRunEndsAsLinkLost) {
  struct Case {
    bool comesBack;  // the load listens again at once on the same port
    qint64 withinMs;
    const char* says;
    const char* tStop = "10";
    int stopAfterMs = -1;  // Stop pressed this long after the drop
    int dropAfterRows = 1;
  };
  // The next tick's write finds the loss (up to a second), not three missed
  // measurements; then two seconds of trying when the load stays away. A
  // Stop whose "LOAD OFF" finds no connection, and the end of a list whose
  // last tick finds it, owe the load the same attempt.
  for (const Case& c :
       {Case{true, 2000, "\"LOAD OFF\" was sent"}, Case{false, 3500, "may still be on"},
        Case{true, 2000, "\"LOAD OFF\" was sent", "10", 150},
        Case{false, 3500, "may still be on", "10", 400},
        Case{true, 2000, "\"LOAD OFF\" was sent", "2", -1, 2}}) {
    SCOPED_TRACE(std::string(c.tStop) + " " + std::to_string(c.comesBack) + " " +
                 std::to_string(c.stopAfterMs));
    station->Steps().SetCell(1, kColTStop, c.tStop);
    QSignalSpy rows(station, &Station::rowAdded);
    QSignalSpy handled(station, &Station::linkLossHandled);
    station->Run();
    while (rows.count() < c.dropAfterRows) {
      ASSERT_TRUE(rows.wait(3000));
    }
    const quint16 port = server.Port();
    server.Close();
    if (c.comesBack) {
      ASSERT_TRUE(server.Listen(port));
    }
    QElapsedTimer sinceDrop;
    sinceDrop.start();
    if (c.stopAfterMs >= 0) {
      QTest::qWait(c.stopAfterMs);
      station->Stop();
      EXPECT_EQ(handled.count(), 1);  // settled before Stop returns
      EXPECT_EQ(station->LoadTurnedOff(), c.comesBack);
    }
    ASSERT_TRUE(handled.count() > 0 || handled.wait(5000));
    EXPECT_LT(sinceDrop.elapsed(), c.withinMs);
    EXPECT_EQ(handled.first().at(0).toBool(), c.comesBack);
    EXPECT_THAT(handled.first().at(1).toString().toStdString(), ::testing::HasSubstr(c.says));
    EXPECT_FALSE(station->IsRunning());
    ASSERT_TRUE(station->Summary().End().has_value());
    EXPECT_EQ(station->Summary().End()->reason, RunEndReason::LinkLost);
    // Nothing more of the run goes out after the load was turned off.
    EXPECT_EQ(Lines().last(), c.comesBack ? "LOAD OFF" : "MEAS:VC?");
    QSignalSpy ticks(station, &Station::tickStarted);
    EXPECT_FALSE(ticks.wait(1300));
    if (!c.comesBack) {
      ASSERT_TRUE(server.Listen(port));  // for the next case
    }
  }
}

}  // namespace
}  // namespace kv
