// A load on the loopback interface that drops the connection mid-run: the
// station reaches it again once, within a bound, to turn it off, and ends the
// run as "link lost" whether or not that worked.
#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QSignalSpy>

#include "link/temp_folder.h"
#include "runner/step_end.h"
#include "station/bench.h"
#include "station/station.h"
#include "steps/step_columns.h"
#include "support/qt/loopback_server.h"
#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::HasSubstr;

class LinkLossTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listen());
    server.Load().Reply("name?", "KV-G100\r\n");
    server.Load().Reply("MEAS:VC?", "12.000,1.000\r\n");
    BenchOptions options;
    options.iniPath = (folder.path() / "KV26.INI").string();
    const quint16 port = server.Port();
    options.adjust = [port](LinkSettings s) {
      s.connectMode = kModeLan;
      s.lanIp = {127, 0, 0, 1};
      s.lanPort = port;
      return s;
    };
    bench = Bench::Open(options, sink);
    StepGrid& grid = bench->GetStation().Steps();
    grid.SetRows(3);
    grid.SetCell(1, kColStepNo, "1");
    grid.SetCell(1, kColFunction, "Discharge");
    grid.SetCell(1, kColMode, "CC");
    grid.SetCell(1, kColSinkValue, "1");
    grid.SetCell(1, kColTStop, "60");
  }

  // Runs until the first row, then drops the connection; with `comesBack`
  // the load listens again at once on the same port.
  void RunAndDrop(bool comesBack) {
    Station& station = bench->GetStation();
    QSignalSpy rows(&station, &Station::rowAdded);
    station.Run();
    ASSERT_TRUE(rows.wait(3000));
    const quint16 port = server.Port();
    server.Close();
    if (comesBack) {
      ASSERT_TRUE(server.Listen(port));
    }
  }

  test::TempFolder folder;
  test::LoopbackServer server;
  test::RecordingSink sink;
  std::unique_ptr<Bench> bench;
};

TEST_F(LinkLossTest, LoadThatComesBackIsTurnedOffAndTheRunEndsAsLinkLost) {
  Station& station = bench->GetStation();
  QSignalSpy handled(&station, &Station::linkLossHandled);
  RunAndDrop(true);
  QElapsedTimer sinceDrop;
  sinceDrop.start();
  ASSERT_TRUE(handled.wait(4000));
  // Found by the next tick's write, not only after three missed measurements.
  EXPECT_LT(sinceDrop.elapsed(), 2000);
  EXPECT_TRUE(handled.first().at(0).toBool());
  EXPECT_FALSE(station.IsRunning());
  EXPECT_EQ(server.Load().Lines().last(), "LOAD OFF");
  ASSERT_TRUE(station.Summary().End().has_value());
  EXPECT_EQ(station.Summary().End()->reason, RunEndReason::LinkLost);
  // Nothing more of the run goes out after the load was turned off.
  QSignalSpy ticks(&station, &Station::tickStarted);
  EXPECT_FALSE(ticks.wait(1300));
}

TEST_F(LinkLossTest, LoadThatStaysAwayEndsTheRunWithinTheBoundAndSaysItMayStillBeOn) {
  Station& station = bench->GetStation();
  QSignalSpy handled(&station, &Station::linkLossHandled);
  RunAndDrop(false);
  QElapsedTimer sinceDrop;
  sinceDrop.start();
  ASSERT_TRUE(handled.wait(5000));
  // The next tick finds the loss (up to a second), then two seconds of trying.
  EXPECT_LT(sinceDrop.elapsed(), 3500);
  EXPECT_FALSE(handled.first().at(0).toBool());
  EXPECT_THAT(handled.first().at(1).toString().toStdString(), HasSubstr("may still be on"));
  EXPECT_FALSE(station.IsRunning());
  ASSERT_TRUE(station.Summary().End().has_value());
  EXPECT_EQ(station.Summary().End()->reason, RunEndReason::LinkLost);
}

}  // namespace
}  // namespace kv
