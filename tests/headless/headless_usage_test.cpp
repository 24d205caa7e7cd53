// What kvload-run refuses to start with, run in-process from the parsed
// arguments as main() does: exit status 2, a reason on standard error,
// nothing a script could mistake for a report, and no connection made (a LAN
// option points at a listening socket that must never see one).
#include <gmock/gmock.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>

#include <QTcpServer>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "headless/headless_runner.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(HeadlessUsageTest, RefusedStartsGiveStatusTwoSayWhyAndConnectNothing) {
  QTemporaryDir dir;
  QTcpServer load;
  ASSERT_TRUE(load.listen(QHostAddress::Any));
  const std::string path = dir.path().toStdString();
  test::WriteBytes(path + "/ok.tsf", "StepNo.\r\n1,Rest,,,0,1,0\r\n");
  test::WriteBytes(path + "/errors.tsf", "StepNo.\r\n1,LOOP\r\n2,FOR\r\n3,Bogus,,,0,1,0\r\n");
  // The unusable LanIP2 gives way to its default, 168: 127.168.0.1 still
  // reaches the listening socket, so a run that went ahead would show.
  test::WriteBytes(path + "/KV26.INI",
                   "[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=999\r\n"
                   "LanIP3=0\r\nLanIP4=1\r\nLanPort=" +
                       std::to_string(load.serverPort()) + "\r\n");
  const std::map<std::string, std::string> placeholders = {
      {"@lan", "127.0.0.1:" + std::to_string(load.serverPort())},
      {"@list", path + "/ok.tsf"},
      {"@errors", path + "/errors.tsf"},  // three errors
      {"@ini", path + "/KV26.INI"},       // an unusable LanIP2
      {"@dir", path},
  };
  struct Case {
    std::vector<std::string> args;
    const char* errHas;
    std::vector<const char*> outHas = {};
  };
  const Case cases[] = {
      {{"--bogus", "@list"}, "unknown option \"--bogus\""},
      {{"--sim"}, "no step file"},
      {{"--sim", "@list", "@list", "@list"}, "one step file only"},
      {{"--sim", "/nonexistent/list.tsf"}, "no step file"},
      {{"--sim", "@dir"}, "step file"},
      {{"--sim", "--lan", "127.0.0.1", "@list"}, "at most one"},
      {{"--lan", "load_host:4001", "@list"}, "no host name"},
      {{"--lan", "::1", "@list"}, "goes in brackets"},
      {{"--lan", "@lan", "--connect-timeout", "0", "@list"}, "--connect-timeout"},
      {{"--serial", "1", "--connect-timeout", "1", "@list"}, "belongs to a LAN"},
      {{"--lan", "127.0.0.1:70000", "@list"}, "not a port"},
      {{"--serial", "1", "--baud", "fast", "@list"}, "--baud"},
      {{"--serial", "1", "--handshake", "4", "@list"}, "--handshake"},
      {{"--lan", "127.0.0.1", "--baud", "9600", "@list"}, "serial connection"},
      {{"--gpib", "40", "@list"}, "--gpib"},
      {{"--serial", "0", "@list"}, "names no serial port"},
      {{"@list", "--csv"}, "--csv needs a value"},
      {{"--quiet=yes", "--sim", "@list"}, "takes no value"},
      {{"--ini", "/nonexistent/KV26.INI", "@list"}, "cannot read the settings file"},
      {{"--lan", "@lan", "--csv", "/nonexistent/r.csv", "@list"},
       "--csv: the folder \"/nonexistent\" does not exist"},
      {{"--lan", "@lan", "--summary", "@dir", "@list"}, "is a folder"},
      {{"--lan", "@lan", "--journal", "/nonexistent/j.csv", "@list"}, "--journal: the folder"},
      {{"--lan", "@lan", "--journal", "@list", "@list"}, "and --journal"},
      {{"--lan", "@lan", "--journal", "/dev/full", "@list"}, "/dev/full: No space left"},
      {{"--ini", "@ini", "@list"}, "no usable value for LanIP2"},
      {{"--from-journal", "@list", "@list"}, "takes no step file"},
      {{"--from-journal", "@list", "--lan", "@lan"}, "takes no connection"},
      {{"--from-journal", "@list", "--timeout", "5"}, "takes no --timeout"},
      {{"--from-journal", "@list", "--csv", "/nonexistent/r.csv"}, "--csv: the folder"},
      {{"--from-journal", "@list", "--bdf", "@list"}, "--from-journal"},
      {{"--from-journal", "@dir"}, "not a file"},
      {{"--lan", "@lan", "--strict", "@errors"}, "3 errors"},
      {{"--lan", "@lan", "--check", "@errors"},
       "3 steps",
       {"step 1: error: LOOP", "step 2: error: FOR", "step 3: error: unknown function",
        "3 errors"}},
      // A script reading JSON lines learns how a refusal or a check ended.
      {{"--lan", "@lan", "--format", "jsonl", "--strict", "@errors"},
       "3 errors",
       {R"("note":"--strict: the list has errors (3 errors, 0 warnings, 0 notes); the run was not started","reason":"refused")"}},
      {{"--format", "jsonl", "--check", "@errors"},
       "3 steps",
       {R"({"errors":3,"exact":true,"exit":2,"notes":0,"rows":0,"run":)"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    std::string shown;
    for (std::string& a : args) {
      a = placeholders.contains(a) ? placeholders.at(a) : a;
      shown += a + " ";
    }
    SCOPED_TRACE(shown);
    const HeadlessParse parse = ParseHeadlessArguments(args);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int status = kExitUsage;
    if (parse.ok) {
      HeadlessConsole::Streams streams{out, err};
      streams.jsonl = parse.options.jsonl;
      HeadlessConsole console(streams);
      status = RunHeadlessProgram(parse.options, console, nullptr);
    }
    const std::string outText = test::Contents(out);
    const std::string errText = parse.error + test::Contents(err);
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(status, kExitUsage) << errText;
    EXPECT_THAT(errText, HasSubstr(c.errHas));
    for (const char* text : c.outHas) {
      EXPECT_THAT(outText, HasSubstr(text));
    }
    EXPECT_THAT(outText, Not(HasSubstr("NO.,")));
    EXPECT_FALSE(load.hasPendingConnections() || load.waitForNewConnection(50))
        << "a connection was opened";
  }
}

// A journal that fails during the run is said at once and costs the run its
// status 0; the run itself goes on to its end.
TEST(HeadlessUsageTest, AJournalThatFailsDuringTheRunEndsWithStatusTwo) {
  QTemporaryDir dir;
  const std::string list = dir.filePath("rest.tsf").toStdString();
  test::WriteBytes(list, "StepNo.\r\n1,Rest,,,0,3,0\r\n");
  const HeadlessParse parse =
      ParseHeadlessArguments({"--sim", "--journal", dir.filePath("j.csv").toStdString(), list});
  ASSERT_TRUE(parse.ok) << parse.error;
  // In memory, not a file: the file size limit below is for the journal
  // alone. One stream keeps the order of warnings and rows.
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* text = open_memstream(&buffer, &size);
  // The header and the first row fit; the second row does not.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit before = limit;
  limit.rlim_cur = 150;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  int status = -1;
  {
    HeadlessConsole console({text, text, false, false});
    status = RunHeadlessProgram(parse.options, console, nullptr);
  }
  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, SIG_DFL);
  std::fclose(text);
  const std::string said(buffer, size);
  std::free(buffer);
  EXPECT_EQ(status, kExitUsage) << said;
  // Said when it happened, and the rows go on to the end of the list.
  const std::size_t stopped = said.find("the journal stopped: ");
  ASSERT_NE(stopped, std::string::npos) << said;
  EXPECT_THAT(said.substr(stopped), HasSubstr("File too large; the run goes on"));
  EXPECT_LT(stopped, said.find("\n3,")) << said;
  EXPECT_THAT(said, HasSubstr("Test Finished"));
}

TEST(HeadlessUsageTest, MalformedAddressesAreRefused) {
  for (const char* lan :
       {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "1.2.3.4:", "1.2.3.4:0", "1.2.3.4:x", ":4001",
        "-1.2.3.4", "1.2.3.+4", "[::1", "[::1]4001", "[1::2::3]", "[1::2:3:4:5:6:7:8]",
        "[1:2:3:4:5:6:7:8:9]", "[12345::]", "[::1.2.3]", "a-.b"}) {
    EXPECT_FALSE(ParseHeadlessArguments({"--lan", lan, "x.tsf"}).ok) << lan;
  }
}

}  // namespace
}  // namespace kv
