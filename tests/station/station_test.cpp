// The live station on a real event loop, talking to a load on the loopback
// interface through the LAN transport.
#include "station/station.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <vector>

#include "link/temp_folder.h"
#include "link/transports/link_router.h"
#include "results/csv_export.h"
#include "runner/system_clock.h"
#include "station/run_journal_keeper.h"
#include "steps/step_columns.h"
#include "support/qt/loopback_server.h"
#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    server.Load().Reply("name?", "KV-G100\r\n");
    server.Load().Reply("MEAS:VC?", "12.000,1.000\r\n");
    LinkSettings s;
    s.connectMode = kModeLan;
    s.lanIp = {127, 0, 0, 1};
    s.lanPort = server.Port();
    router = std::make_unique<LinkRouter>(s, sink);
    station = std::make_unique<Station>(*router);
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

  static qsizetype IndexOf(const QStringList& lines, const QString& line, qsizetype from = 0) {
    return lines.indexOf(line, from);
  }

  test::LoopbackServer server;
  test::RecordingSink sink;
  std::unique_ptr<LinkRouter> router;
  std::unique_ptr<Station> station;
};

TEST_F(StationTest, RunIdentifiesFirstThenTicksAboutOnceASecond) {
  // Each tick waits a fifth of a second for its measurement; the ticks still
  // start a second apart.
  server.Load().ReplyChunks("MEAS:VC?", {"", "12.000,1.000\r\n"}, 200);
  QSignalSpy identified(station.get(), &Station::identified);
  QSignalSpy rows(station.get(), &Station::rowAdded);
  QSignalSpy finished(station.get(), &Station::tickFinished);
  QElapsedTimer sinceRun;
  std::vector<qint64> tickStarts;
  QObject::connect(station.get(), &Station::tickStarted, station.get(),
                   [&] { tickStarts.push_back(sinceRun.elapsed()); });
  sinceRun.start();
  station->Run();
  EXPECT_TRUE(station->IsRunning());

  ASSERT_TRUE(identified.wait(1000));
  EXPECT_EQ(station->ModelText(), "KV-G100");
  EXPECT_TRUE(station->OfferedFunctionList().contains(QStringLiteral("Sequence Load")));
  EXPECT_TRUE(tickStarts.empty());

  while (finished.count() < 2 && finished.wait(1500)) {
  }
  ASSERT_GE(tickStarts.size(), 2u);
  EXPECT_NEAR(static_cast<double>(tickStarts[0]), 1000.0, 30.0);
  EXPECT_NEAR(static_cast<double>(tickStarts[1] - tickStarts[0]), 1000.0, 30.0);
  EXPECT_GE(rows.count(), 1);

  const QStringList lines = server.Load().Lines();
  ASSERT_GE(lines.size(), 3);
  EXPECT_THAT(lines.mid(0, 2), ElementsAre("REM", "name?"));
  EXPECT_THAT(lines.mid(2), Contains("MEAS:VC?"));
  EXPECT_THAT(sink.messages, ::testing::IsEmpty());
}

TEST_F(StationTest, StopRightAfterRunSendsLoadOffAndNoTickRuns) {
  // Connected beforehand, as after the connection dialog.
  router->OpenInstrument(kModeLan);
  QSignalSpy ticks(station.get(), &Station::tickStarted);
  station->Run();
  station->Stop();
  EXPECT_FALSE(station->IsRunning());
  EXPECT_FALSE(station->IsRunnerTimerActive());
  EXPECT_FALSE(ticks.wait(1300));
  const QStringList lines = server.Load().Lines();
  EXPECT_THAT(lines, Contains("LOAD OFF"));
  EXPECT_THAT(lines, Not(Contains("MEAS:VC?")));
  EXPECT_THAT(lines, Not(Contains("LOAD ON")));
  EXPECT_THAT(sink.messages, ::testing::IsEmpty());
}

TEST_F(StationTest, StopDuringAWaitingQueryGoesOutAtOnceAndStaysInForce) {
  server.Load().ReplyChunks("MEAS:VC?", {}, 0);  // the load never answers
  QElapsedTimer sinceQuery;
  qint64 loadOffAfterMs = -1;
  bool tickWaitingAtLoadOff = false;
  QObject::connect(
      &server.Load(), &test::LineResponder::lineReceived, station.get(), [&](const QString& line) {
        if (line == QLatin1String("MEAS:VC?")) {
          sinceQuery.start();
          // The operator presses Stop while the tick waits. (Queued:
          // a click comes from the event loop, not from this handler.)
          QMetaObject::invokeMethod(station.get(), &Station::Stop, Qt::QueuedConnection);
        } else if (line == QLatin1String("LOAD OFF")) {
          loadOffAfterMs = sinceQuery.elapsed();
          tickWaitingAtLoadOff = station->IsLinkBusy();
        }
      });
  QSignalSpy finished(station.get(), &Station::tickFinished);
  QSignalSpy rows(station.get(), &Station::rowAdded);
  station->Run();
  ASSERT_TRUE(finished.count() > 0 || finished.wait(3000));
  ASSERT_GE(loadOffAfterMs, 0);
  EXPECT_LT(loadOffAfterMs, 200);
  EXPECT_TRUE(tickWaitingAtLoadOff);

  EXPECT_FALSE(station->IsRunning());
  EXPECT_FALSE(station->IsRunnerTimerActive());
  EXPECT_EQ(rows.count(), 0);
  const QStringList lines = server.Load().Lines();
  EXPECT_EQ(lines.last(), QStringLiteral("LOAD OFF"));
  EXPECT_EQ(lines.count(QStringLiteral("MEAS:VC?")), 1);
}

TEST_F(StationTest, IdentificationThatFiresWhileAQueryWaitsIsHeldUntilItIsDone) {
  // The measurement reply comes late, so the tick waits for it.
  server.Load().ReplyChunks("MEAS:VC?", {"", "12.000,1.000\r\n"}, 300);
  bool asked = false;
  QObject::connect(&server.Load(), &test::LineResponder::lineReceived, station.get(),
                   [&](const QString& line) {
                     if (line == QLatin1String("MEAS:VC?") && !asked) {
                       asked = true;
                       station->Identify();  // the connection dialog closes now
                     }
                   });
  QSignalSpy identified(station.get(), &Station::identified);
  QSignalSpy finished(station.get(), &Station::tickFinished);
  station->Run();
  ASSERT_TRUE(identified.wait(1000));  // the run's own identification
  ASSERT_TRUE(finished.wait(2000));
  EXPECT_EQ(identified.count(), 1);  // held while the tick waited
  ASSERT_TRUE(identified.wait(1000));
  station->Stop();

  const QStringList lines = server.Load().Lines();
  const qsizetype query = IndexOf(lines, QStringLiteral("MEAS:VC?"));
  ASSERT_GE(query, 0);
  EXPECT_THAT(lines.mid(query + 1, 2), ElementsAre("REM", "name?"));
  EXPECT_EQ(station->ModelText(), "KV-G100");
  ASSERT_EQ(station->Log().RowCount(), 1u);
  const ResultRowView row = station->Log().RowView(0);
  EXPECT_THAT(row, Contains("12.000"));
}

TEST_F(StationTest, TickThatFiresWhileTheIdentificationWaitsIsHeldUntilItIsDone) {
  // A slow load: the model name comes just after the first tick is due.
  server.Load().ReplyChunks("name?", {"", "KV-G100\r\n"}, 950);
  QSignalSpy identified(station.get(), &Station::identified);
  QSignalSpy ticks(station.get(), &Station::tickStarted);
  QSignalSpy finished(station.get(), &Station::tickFinished);
  bool identifiedBeforeTick = false;
  QObject::connect(station.get(), &Station::tickStarted, station.get(),
                   [&] { identifiedBeforeTick = identified.count() == 1; });
  station->Run();
  ASSERT_TRUE(finished.wait(3000));
  station->Stop();
  EXPECT_TRUE(identifiedBeforeTick);
  EXPECT_EQ(station->ModelText(), "KV-G100");
  const QStringList lines = server.Load().Lines();
  ASSERT_GE(lines.size(), 3);
  EXPECT_THAT(lines.mid(0, 2), ElementsAre("REM", "name?"));
  EXPECT_THAT(lines.mid(2), Contains("MEAS:VC?"));
  ASSERT_EQ(station->Log().RowCount(), 1u);
  EXPECT_THAT(station->Log().RowView(0), Contains("12.000"));
}

TEST_F(StationTest, EachRunIsJournaledRowByRowInANewFile) {
  test::TempFolder folder;
  SystemClock clock;
  RunJournalKeeper keeper(*station, clock);
  keeper.SetFolder(folder.path().string());
  QSignalSpy started(&keeper, &RunJournalKeeper::started);
  QSignalSpy rows(station.get(), &Station::rowAdded);
  station->Run();
  ASSERT_EQ(started.count(), 1);
  while (rows.count() < 2 && rows.wait(1500)) {
  }
  ASSERT_GE(rows.count(), 2);
  station->Stop();

  std::string expected(kCsvHeader);
  expected += "\r\n";
  for (std::size_t r = 0; r < station->Log().RowCount(); ++r) {
    AppendCsvRow(expected, station->Log().RowView(r));
  }
  const std::string first = started.at(0).at(0).toString().toStdString();
  EXPECT_EQ(test::ReadBytes(first), expected);

  station->Run();  // the next run, a new file; the last one stays
  ASSERT_EQ(started.count(), 2);
  EXPECT_NE(started.at(1).at(0).toString().toStdString(), first);
  station->Stop();
  EXPECT_EQ(test::ReadBytes(first), expected);
}

}  // namespace
}  // namespace kv
