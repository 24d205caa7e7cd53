// kvload-run against kvload-sim over each kind of link: the load must receive
// exactly the lines the desktop program's Run sends, in order.
#include <gmock/gmock.h>

#include <QDir>
#include <QFile>

#include "e2e/e2e_processes.h"

namespace kv::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// A two-second discharge, then a one-second rest.
const std::vector<std::string> kShortList = {
    "1,Discharge,CC,1,0,2,0",
    "2,Rest,,,0,1,0",
};

class RunOverLinkTest : public ::testing::TestWithParam<bool> {};

TEST_P(RunOverLinkTest, LoadReceivesExactlyTheLinesOfTheRun) {
  SimProcess sim;
  ASSERT_EQ(sim.Start({}, GetParam()), "");
  QTemporaryDir dir;
  const RunOutcome run =
      RunKvloadRun(sim.LinkArguments() << "--quiet" << WriteStepFile(dir, kShortList));
  EXPECT_EQ(sim.Stop(), 0);

  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  // Identification, the discharge (started, polled twice, time-stopped with
  // LOAD OFF because a rest follows), the rest (its own LOAD OFF, polled,
  // then time-stopped as the last step) and the end of the run.
  EXPECT_THAT(sim.Log("RX"),
              ElementsAreArray({"REM", "name?", "MODE CC", "CC:HIGH 1", "LOAD ON", "MEAS:VC?",
                                "MEAS:VC?", "MEAS:VC?", "LOAD OFF", "LOAD OFF", "MEAS:VC?",
                                "MEAS:VC?", "LOAD OFF", "LOAD OFF"}));
  EXPECT_TRUE(sim.Log("ERR").isEmpty()) << sim.Log("ERR").join('|').toStdString();
  // Two discharge rows and one rest row, each with a reading.
  const QStringList lines = run.lines();
  ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
  EXPECT_EQ(RowNumberingProblem(lines), "");
  EXPECT_THAT(lines[1].toStdString(), HasSubstr(",1.0000,"));
  EXPECT_THAT(lines[3].toStdString(), HasSubstr(",Rest,"));
  EXPECT_EQ(run.err, "");  // --quiet keeps "Test Finished" too off standard error
}

INSTANTIATE_TEST_SUITE_P(Links, RunOverLinkTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "PseudoTerminal" : "Tcp";
                         });

TEST(RunReportTest, CsvReportHoldsTheRowsPrinted) {
  QTemporaryDir dir;
  const RunOutcome run =
      RunKvloadRun({"--sim", "--csv", dir.filePath("report.csv"), WriteStepFile(dir, kShortList)});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("SIMULATED"));

  // The name is upper-cased and numbered as the desktop program's export does.
  QFile report(dir.filePath("REPORT_0.CSV"));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly))
      << QDir(dir.path()).entryList().join(' ').toStdString();
  EXPECT_EQ(report.readAll(), run.out.toUtf8().replace("\n", "\r\n"));
  EXPECT_THAT(run.err.toStdString(), HasSubstr("REPORT_0.CSV"));
}

}  // namespace
}  // namespace kv::test
