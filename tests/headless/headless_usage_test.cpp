// What kvload-run refuses to start with: exit status 2, a reason on standard
// error and nothing that a script could mistake for a report. Run in-process
// from the parsed arguments, as main() does.
#include <gmock/gmock.h>

#include <cstdio>
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

using test::Contents;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

/// main() without the process: a refused command line says why and gives 2.
Outcome RunProgram(const std::vector<std::string>& args) {
  const HeadlessParse parse = ParseHeadlessArguments(args);
  if (!parse.ok) {
    return {kExitUsage, "", parse.error};
  }
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Outcome o;
  {
    HeadlessConsole console({out, err, false, false});
    o.status = RunHeadlessProgram(parse.options, console, nullptr);
  }
  o.out = Contents(out);
  o.err = Contents(err);
  std::fclose(out);
  std::fclose(err);
  return o;
}

TEST(HeadlessUsageTest, RefusedCommandLinesGiveStatusTwoAndSayWhy) {
  const std::string folder = KV_TEST_DATA_DIR "/stepfile";
  const std::string list = folder + "/rest_one_second.tsf";

  struct Case {
    std::vector<std::string> args;  // "@list" stands for a valid step file
    const char* errHas;
  };
  const Case cases[] = {
      {{"--bogus", "@list"}, "unknown option \"--bogus\""},
      {{"--sim"}, "no step file"},
      {{"--sim", "@list", "@list", "@list"}, "one step file only"},
      {{"--sim", "/nonexistent/list.tsf"}, "no step file"},
      {{"--sim", folder}, "step file"},
      {{"--sim", "--lan", "127.0.0.1", "@list"}, "at most one"},
      {{"--lan", "loadhost:4001", "@list"}, "not an IPv4 address"},
      {{"--lan", "127.0.0.1:70000", "@list"}, "not a port"},
      {{"--serial", "1", "--baud", "fast", "@list"}, "--baud"},
      {{"--serial", "1", "--handshake", "4", "@list"}, "--handshake"},
      {{"--lan", "127.0.0.1", "--baud", "9600", "@list"}, "serial connection"},
      {{"--gpib", "40", "@list"}, "--gpib"},
      {{"--serial", "0", "@list"}, "names no serial port"},
      {{"@list", "--csv"}, "--csv needs a value"},
      {{"--quiet=yes", "--sim", "@list"}, "takes no value"},
      {{"--ini", "/nonexistent/KV26.INI", "@list"}, "cannot read the settings file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    std::string shown;
    for (std::string& a : args) {
      a = a == "@list" ? list : a;
      shown += a + " ";
    }
    const Outcome o = RunProgram(args);
    EXPECT_EQ(o.status, kExitUsage) << shown << o.err;
    EXPECT_THAT(o.err, HasSubstr(c.errHas)) << shown;
    // Nothing that looks like a report: a script must not mistake it for one.
    EXPECT_THAT(o.out, Not(HasSubstr("NO.,"))) << shown;
  }
}

TEST(HeadlessUsageTest, HelpDocumentsTheExitStatuses) {
  const HeadlessParse p = ParseHeadlessArguments({"--help"});
  ASSERT_TRUE(p.ok && p.options.help);
  for (const char* text : {"--lan HOST[:PORT]", "--serial PORT", "--gpib ADDRESS", "--sim",
                           "--csv FILE", "--quiet", "Exit status", "LOAD OFF"}) {
    EXPECT_THAT(HeadlessUsage(), HasSubstr(text));
  }
}

}  // namespace
}  // namespace kv
