// What kvload-run makes of its settings before it opens anything: the
// command line laid over the settings file, and the step file read aloud.
#include "headless/headless_preflight.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>

#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "headless/headless_runner.h"
#include "link/lan_endpoint.h"

namespace kv {
namespace {

using ::testing::HasSubstr;

// A file name is text from outside: printed raw, an escape sequence in it
// would clear the operator's terminal. Extra fields are said once per file.
TEST(StepFileLoadTest, EscapesControlCharactersAndSaysLongLinesOnce) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("a\x1b[2Jb.tsf").toStdString();
  test::WriteBytes(
      path,
      "StepNo.\r\n1,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,,x,y\r\n2,Rest,,,0,1,0,,,,,,,,,,,,,,,,,,,,"
      "x\r\n");
  std::FILE* err = std::tmpfile();
  StepGrid grid;
  {
    HeadlessConsole console({stdout, err, false, false, false});
    ASSERT_TRUE(LoadHeadlessStepFile(path, grid, console));
  }
  const std::string text = test::Contents(err);
  std::fclose(err);
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_THAT(text, HasSubstr("a\\x1B[2Jb.tsf"));
  EXPECT_THAT(text, HasSubstr("2 line(s) of"));
  EXPECT_EQ(text.find("more than 26 fields"), text.rfind("more than 26 fields"));
}

// The connection options are laid over a settings file that chose GPIB; a
// model follows --sim only when a step file follows it.
TEST(HeadlessArgumentsTest, CommandLineOverlaysTheIniSettings) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--sim", "demo.tsf"}, "mode=1 com=3 baud=9600 hs=1 lan=10.1.1.1:23 gpib=9 sim= demo.tsf"},
      {{"--sim", "KV-F100", "--csv", "r.csv", "demo.tsf"},
       "mode=1 com=3 baud=9600 hs=1 lan=10.1.1.1:23 gpib=9 sim=KV-F100 csv=r.csv demo.tsf"},
      {{"--sim=KV-F100", "demo.tsf"},
       "mode=1 com=3 baud=9600 hs=1 lan=10.1.1.1:23 gpib=9 sim=KV-F100 demo.tsf"},
      {{"--lan", "010.0.0.7:5025", "x.tsf"},
       "mode=2 com=3 baud=9600 hs=1 lan=10.0.0.7:5025 gpib=9 sim= x.tsf"},
      {{"--lan=localhost", "--connect-timeout", "2.5", "x.tsf"},
       "mode=2 com=3 baud=9600 hs=1 lan=localhost:4001 gpib=9 sim= wait=2500 x.tsf"},
      {{"--lan", "[fe80::1:2]:5025", "x.tsf"},
       "mode=2 com=3 baud=9600 hs=1 lan=[fe80::1:2]:5025 gpib=9 sim= x.tsf"},
      {{"--baud", "38400", "x.tsf"},
       "mode=1 com=3 baud=38400 hs=1 lan=10.1.1.1:23 gpib=9 sim= x.tsf"},
      {{"--serial", "/dev/ttyUSB0", "--handshake", "0", "x.tsf"},
       "mode=0 com=/dev/ttyUSB0 baud=9600 hs=0 lan=10.1.1.1:23 gpib=9 sim= x.tsf"},
      {{"--gpib", "7", "--", "-odd name.tsf"},
       "mode=1 com=3 baud=9600 hs=1 lan=10.1.1.1:23 gpib=7 sim= -odd name.tsf"},
  };
  LinkSettings ini;
  ini.connectMode = kModeGpib;
  ini.baudRate = 9600;
  ini.comPort = "3";
  ini.handShake = 1;
  ini.lanIp = {10, 1, 1, 1};
  ini.lanPort = 23;
  ini.address = 9;
  for (const auto& [args, expected] : cases) {
    const HeadlessParse p = ParseHeadlessArguments(args);
    ASSERT_TRUE(p.ok) << p.error;
    const LinkSettings s = ApplyHeadlessLink(p.options, ini);
    EXPECT_EQ(
        "mode=" + std::to_string(s.connectMode) + " com=" + s.comPort +
            " baud=" + std::to_string(s.baudRate) + " hs=" + std::to_string(s.handShake) +
            " lan=" + LanEndpointText(LanAddressText(s), s.lanPort) +
            " gpib=" + std::to_string(s.address) + " sim=" + p.options.simModel +
            (p.options.connectTimeoutMs ? " wait=" + std::to_string(*p.options.connectTimeoutMs)
                                        : "") +
            (p.options.csvPath.empty() ? "" : " csv=" + p.options.csvPath) + " " +
            p.options.stepFile,
        expected)
        << args[0];
  }
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

// No two of the step file, the settings file, the report's chunk files, the
// summary, the journal and the BDF files may be one file, however the names reach it; and a
// journal never takes a file that holds anything.
TEST(OutputTargetsTest, RefusesTwoNamesOfOneFileAndAJournalThatHoldsRows) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  const std::string d = dir.path().toStdString() + "/";
  test::WriteBytes(d + "list.tsf", "StepNo.\r\n");
  test::WriteBytes(d + "KV26.INI", "");
  test::WriteBytes(d + "old.csv", "1,2\r\n");
  test::WriteBytes(d + "empty.csv", "");
  fs::create_symlink(d + "list.tsf", d + "link.csv");
  fs::create_symlink("made.csv", d + "dangling.csv");
  fs::create_hard_link(d + "list.tsf", d + "hard.tsf");
  fs::create_directory_symlink(d, d + "alias");
  fs::create_directory(d + "sub");
  fs::create_symlink(d + "list.tsf", d + "sub/R_7.CSV");
  struct Row {
    std::string csv, summary, journal;
    const char* refusal;  // nullptr: accepted
    std::string bdf{};
  } const rows[] = {
      {"", "", "list.tsf", "the step file"},
      {"", "j.csv", "j.csv", "--summary"},
      {"rep.csv", "", "REP_0.CSV", "REP_0.CSV"},
      {"rep.csv", "REP_12.CSV", "", "REP_12.CSV"},
      {"rep.csv", "rep.csv", "REP.CSV", nullptr},
      {"", "", "link.csv", "the step file"},
      {"", "", "alias/list.tsf", "the step file"},
      {"", "sub/../j.csv", "j.csv", "--summary"},
      {"", "made.csv", "dangling.csv", "--summary"},
      {"", "hard.tsf", "", "the step file"},
      {"sub/r.csv", "", "", "R_7.CSV"},
      {"kv26.ini", "", "", "the settings file"},
      {"", "", "old.csv", "already holds 5 bytes"},
      {"r.csv", "s.csv", "empty.csv", nullptr},
      {"", "", "", "the step file", "list.tsf"},
      {"", "r.bdf.json", "", "the metadata of --bdf", "r.bdf.csv"},
      {"", "", "", "--bdf: the folder", "none/r.bdf.csv"},
      {"r.csv", "r.json", "", nullptr, "r.bdf.csv"},
  };
  for (const Row& row : rows) {
    HeadlessOptions options;
    options.stepFile = d + "list.tsf";
    for (auto [from, to] :
         {std::pair{&row.csv, &options.csvPath}, std::pair{&row.summary, &options.summaryPath},
          std::pair{&row.journal, &options.journalPath}, std::pair{&row.bdf, &options.bdfPath}}) {
      *to = from->empty() ? "" : d + *from;
    }
    const auto problem = OutputTargetsProblem(options, d + "KV26.INI");
    SCOPED_TRACE(row.csv + " " + row.summary + " " + row.journal + ": " + problem.value_or(""));
    ASSERT_EQ(problem.has_value(), row.refusal != nullptr);
    if (problem) {
      EXPECT_THAT(*problem, HasSubstr(row.refusal));
    }
  }
}

}  // namespace
}  // namespace kv
