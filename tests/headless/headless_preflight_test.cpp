// What kvload-run refuses before it opens anything, run in-process: a LAN
// option points at a listening socket that must never see a connection.
#include "headless/headless_preflight.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "headless/headless_runner.h"

namespace kv {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

struct RefusalCase {
  const char* name;
  // "@lan" the listening socket, "@list" a good list, "@errors" a list with
  // three errors, "@ini" settings with an unusable LanIP2, "@dir" a folder.
  std::vector<std::string> args;
  const char* errHas;
  std::vector<const char*> outHas;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, ExitsWithTwoAndConnectsNothing) {
  QTemporaryDir dir;
  QTcpServer load;
  ASSERT_TRUE(load.listen(QHostAddress::Any));
  const QString lan = "127.0.0.1:" + QString::number(load.serverPort());
  Write(dir.filePath("ok.tsf"), "StepNo.\r\n1,Rest,,,0,1,0\r\n");
  Write(dir.filePath("errors.tsf"), "StepNo.\r\n1,LOOP\r\n2,FOR\r\n3,Bogus,,,0,1,0\r\n");
  // The unusable LanIP2 gives way to its default, 168: 127.168.0.1 still
  // reaches the listening socket, so a run that went ahead would show.
  Write(dir.filePath("KV26.INI"),
        "[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=999\r\n"
        "LanIP3=0\r\nLanIP4=1\r\nLanPort=" +
            QByteArray::number(load.serverPort()) + "\r\n");
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) {
    args.push_back(a == "@lan"      ? lan.toStdString()
                   : a == "@list"   ? dir.filePath("ok.tsf").toStdString()
                   : a == "@errors" ? dir.filePath("errors.tsf").toStdString()
                   : a == "@ini"    ? dir.filePath("KV26.INI").toStdString()
                   : a == "@dir"    ? dir.path().toStdString()
                                    : a);
  }
  const HeadlessParse parse = ParseHeadlessArguments(args);
  ASSERT_TRUE(parse.ok) << parse.error;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  int status = -1;
  {
    HeadlessConsole console({out, err, false, false, false});
    status = RunHeadlessProgram(parse.options, console, nullptr);
  }
  const std::string outText = test::Contents(out);
  const std::string errText = test::Contents(err);
  std::fclose(out);
  std::fclose(err);
  EXPECT_EQ(status, kExitUsage) << errText;
  EXPECT_THAT(errText, HasSubstr(GetParam().errHas));
  for (const char* text : GetParam().outHas) {
    EXPECT_THAT(outText, HasSubstr(text));
  }
  EXPECT_THAT(outText, Not(HasSubstr("NO.,")));
  EXPECT_FALSE(load.hasPendingConnections() || load.waitForNewConnection(50))
      << "a connection was opened";
}

INSTANTIATE_TEST_SUITE_P(
    Preflight, RefusalTest,
    ::testing::Values(
        RefusalCase{"CsvFolderMissing",
                    {"--lan", "@lan", "--csv", "/nonexistent/r.csv", "@list"},
                    "--csv: the folder \"/nonexistent\" does not exist",
                    {}},
        RefusalCase{
            "SummaryIsAFolder", {"--lan", "@lan", "--summary", "@dir", "@list"}, "is a folder", {}},
        RefusalCase{"JournalFolderMissing",
                    {"--lan", "@lan", "--journal", "/nonexistent/j.csv", "@list"},
                    "--journal: the folder",
                    {}},
        RefusalCase{
            "UnusableSettingsKey", {"--ini", "@ini", "@list"}, "no usable value for LanIP2", {}},
        RefusalCase{
            "StrictListWithErrors", {"--lan", "@lan", "--strict", "@errors"}, "3 errors", {}},
        RefusalCase{"CheckListWithErrors",
                    {"--lan", "@lan", "--check", "@errors"},
                    "3 steps",
                    {"step 1: error: LOOP", "step 2: error: FOR", "step 3: error: unknown function",
                     "3 errors"}}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.name); });

// A file name is text from outside: printed raw, an escape sequence in it
// would clear the operator's terminal. Extra fields are said once per file.
TEST(StepFileLoadTest, EscapesControlCharactersAndSaysLongLinesOnce) {
  QTemporaryDir dir;
  const QString path = dir.filePath("a\x1b[2Jb.tsf");
  Write(path,
        "StepNo.\r\n1,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,,x,y\r\n2,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,,"
        "x\r\n");
  std::FILE* err = std::tmpfile();
  StepGrid grid;
  {
    HeadlessConsole console({stdout, err, false, false, false});
    ASSERT_TRUE(LoadHeadlessStepFile(path.toStdString(), grid, console));
  }
  const std::string text = test::Contents(err);
  std::fclose(err);
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_THAT(text, HasSubstr("a\\x1B[2Jb.tsf"));
  EXPECT_THAT(text, HasSubstr("2 line(s) of"));
  EXPECT_EQ(text.find("more than 26 fields"), text.rfind("more than 26 fields"));
}

// A command-line option that sets a key makes the file's unusable value
// irrelevant; any other unusable key of the chosen connection still refuses.
TEST(UnusableSettingsTest, OnlyKeysTheCommandLineDoesNotSetRefuse) {
  struct Row {
    std::vector<std::string> args;
    std::int16_t fileMode;
    std::vector<std::string> unusable;
    bool refused;
  };
  const std::vector<Row> rows = {
      {{"l.tsf"}, kModeLan, {"LanPort"}, true},
      {{"--lan", "127.0.0.1:4001", "l.tsf"}, kModeLan, {"LanPort", "ConnectMode"}, false},
      {{"--lan", "127.0.0.1", "l.tsf"}, kModeSerial, {"BaudRate"}, false},
      {{"--serial", "1", "l.tsf"}, kModeLan, {"ConnectMode", "BaudRate"}, true},
      {{"--serial", "1", "--baud", "9600", "l.tsf"}, kModeSerial, {"BaudRate"}, false},
      {{"--gpib", "5", "l.tsf"}, kModeGpib, {"Address", "BoardNo"}, true},
  };
  for (const Row& row : rows) {
    const HeadlessParse parse = ParseHeadlessArguments(row.args);
    ASSERT_TRUE(parse.ok) << parse.error;
    LinkSettings file;
    file.connectMode = row.fileMode;
    file.unusableKeys = row.unusable;
    const auto problem =
        UnusableSettingsProblem(ApplyHeadlessLink(parse.options, file), "KV26.INI");
    EXPECT_EQ(problem.has_value(), row.refused) << row.args[0] << " " << problem.value_or("");
  }
}

}  // namespace
}  // namespace kv
