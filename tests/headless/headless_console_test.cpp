// What kvload-run prints where: rows on standard output at once, messages on
// standard error, repeated messages counted, the progress line only on a
// terminal and never inside the report.
#include "headless/headless_console.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <string>

#include "link/message_sink.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using test::Contents;

class HeadlessConsoleTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::fclose(out);
    std::fclose(err);
  }
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
};

TEST_F(HeadlessConsoleTest, RowsAreReportLinesOnStandardOutputOnly) {
  HeadlessConsole console({out, err, true, false});
  console.Header();
  console.SetProgress("step 1 Discharge");
  console.Row({"1", "10:00:00", "12.5", "1", "12.5", "0.00027778", "0.00347222",
               "2026/12/05 10:00:00", "Discharge", ""});
  console.Finish();
  EXPECT_EQ(Contents(out),
            "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result\n"
            "1,10:00:00,12.5,1,12.5,0.00027778,0.00347222,2026/12/05 10:00:00,Discharge,\n");
  EXPECT_THAT(Contents(err), HasSubstr("step 1 Discharge"));
}

TEST_F(HeadlessConsoleTest, NoProgressWithoutTerminalOrWhenQuiet) {
  for (const bool quiet : {false, true}) {
    std::FILE* e = std::tmpfile();
    HeadlessConsole console({out, e, /*progress=*/quiet, quiet});
    console.SetProgress("step 1 Discharge");
    console.Info("connecting");
    console.Warn("the load is simulated");
    console.ShowMessage("Test Finished");
    console.Finish();
    const std::string text = Contents(e);
    EXPECT_THAT(text, Not(HasSubstr("step 1"))) << quiet;
    EXPECT_THAT(text, Not(HasSubstr("\r"))) << quiet;
    EXPECT_EQ(text.find("connecting") == std::string::npos, quiet);
    // Warnings and messages are never silenced.
    EXPECT_THAT(text, HasSubstr("kvload-run: the load is simulated\n"));
    EXPECT_THAT(text, HasSubstr("Test Finished\n"));
    std::fclose(e);
  }
}

TEST_F(HeadlessConsoleTest, RepeatedMessageIsPrintedOnceThenCounted) {
  HeadlessConsole console({out, err, false, false});
  for (int i = 0; i < 4; ++i) {
    console.OnLinkFailure(LinkFailure::ConnectionLost, kLostConnectMessage);
  }
  console.ShowMessage("Test Finished");
  console.OnLinkFailure(LinkFailure::ConnectionLost, kLostConnectMessage);
  console.Finish();
  EXPECT_EQ(Contents(err),
            "Lost Connect!\n"
            "kvload-run: (\"Lost Connect!\" 3 more times)\n"
            "Test Finished\n"
            "Lost Connect!\n");
  EXPECT_EQ(console.LinkFailures(), 5);
}

}  // namespace
}  // namespace kv
