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

// Identification, the discharge (started, polled twice, time-stopped with
// LOAD OFF because a rest follows), the rest (its own LOAD OFF, polled, then
// time-stopped as the last step) and the end of the run.
const QStringList kShortListLines = {
    "REM",      "name?",    "MODE CC",  "CC:HIGH 1", "LOAD ON",  "MEAS:VC?", "MEAS:VC?",
    "MEAS:VC?", "LOAD OFF", "LOAD OFF", "MEAS:VC?",  "MEAS:VC?", "LOAD OFF", "LOAD OFF",
};

struct LinkCase {
  const char* name;
  QStringList simArgs;
  // The connection options of kvload-run for a started simulator.
  QStringList (*connection)(const SimProcess&);
};

// Test names in ctest show the case, not its bytes.
void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

class RunOverLinkTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(RunOverLinkTest, LoadReceivesExactlyTheLinesOfTheRun) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start(GetParam().simArgs)) << sim.Error().toStdString();
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, "short.tsf", kShortList);
  QStringList args = GetParam().connection(sim);
  args << "--quiet" << list;

  const RunOutcome run = RunKvloadRun(args);
  EXPECT_EQ(sim.Stop(), 0);

  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_FALSE(run.crashed);
  EXPECT_THAT(sim.ReceivedLines(), ElementsAreArray(kShortListLines));
  EXPECT_TRUE(sim.RejectedLines().isEmpty()) << sim.RejectedLines().join('|').toStdString();
  // Two discharge rows and one rest row, each with a reading.
  const QStringList lines = run.lines();
  ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
  QString why;
  EXPECT_TRUE(RowsNumberedWithoutGaps(lines, &why)) << why.toStdString();
  EXPECT_THAT(lines[1].toStdString(), HasSubstr(",1.0000,"));
  EXPECT_THAT(lines[3].toStdString(), HasSubstr(",Rest,"));
  EXPECT_THAT(run.err.toStdString(), HasSubstr("Test Finished"));
}

INSTANTIATE_TEST_SUITE_P(
    Links, RunOverLinkTest,
    ::testing::Values(LinkCase{"Tcp",
                               {"--no-serial"},
                               [](const SimProcess& s) {
                                 return QStringList{"--lan", s.LanArgument()};
                               }},
                      LinkCase{"PseudoTerminal",
                               {"--no-tcp"},
                               [](const SimProcess& s) {
                                 return QStringList{"--serial", s.PtyPath(), "--handshake", "0"};
                               }},
                      LinkCase{"TcpFromIniFile",
                               {"--no-serial"},
                               [](const SimProcess& s) {
                                 // The settings of the desktop program's file, with blanks
                                 // in the section name and CR LF line ends.
                                 static QTemporaryDir iniDir;
                                 const QString path = iniDir.filePath("KV26.INI");
                                 QFile ini(path);
                                 if (ini.open(QIODevice::WriteOnly)) {
                                   ini.write(QStringLiteral(
                                                 "[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\n"
                                                 "LanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\n"
                                                 "LanPort=%1\r\n")
                                                 .arg(s.Port())
                                                 .toUtf8());
                                 }
                                 return QStringList{"--ini", path};
                               }}),
    [](const ::testing::TestParamInfo<LinkCase>& param) { return std::string(param.param.name); });

TEST(RunReportTest, CsvReportHoldsTheRowsPrinted) {
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, "short.tsf", kShortList);
  const RunOutcome run =
      RunKvloadRun({"--sim", "--csv", dir.filePath("report.csv"), "--quiet", list});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("SIMULATED"));

  // The name is upper-cased and numbered as the desktop program's export does.
  QFile report(dir.filePath("REPORT_0.CSV"));
  ASSERT_TRUE(report.open(QIODevice::ReadOnly))
      << QDir(dir.path()).entryList().join(' ').toStdString();
  const QByteArray expected = run.out.toUtf8().replace("\n", "\r\n");
  EXPECT_EQ(report.readAll(), expected);
  EXPECT_THAT(run.err.toStdString(), HasSubstr("REPORT_0.CSV"));
}

TEST(RunReportTest, EmptyStepListFinishesAtOnce) {
  QTemporaryDir dir;
  const QString list = WriteStepFile(dir, "empty.tsf", {});
  const RunOutcome run = RunKvloadRun({"--sim", list});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(run.lines().size(), 1) << run.out.toStdString();
  EXPECT_THAT(run.err.toStdString(), HasSubstr("Test Finished"));
}

TEST(RunReportTest, FailVerdictGivesStatusOne) {
  QTemporaryDir dir;
  // The simulated battery trips at 5.5 A, outside the 1 A to 2 A window.
  const QString list = WriteStepFile(dir, "ocp.tsf", {"1,OCP,,,,,,,0,8,0.5,1,2,1"});
  const RunOutcome run = RunKvloadRun({"--sim", "--quiet", list});
  EXPECT_EQ(run.exitCode, 1) << run.out.toStdString() << run.err.toStdString();
  EXPECT_THAT(run.out.toStdString(), HasSubstr(",OCP,FAIL"));
  QString why;
  EXPECT_TRUE(RowsNumberedWithoutGaps(run.lines(), &why)) << why.toStdString();
}

}  // namespace
}  // namespace kv::test
