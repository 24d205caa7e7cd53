// What kvload-run prints where: rows on standard output at once, messages on
// standard error, repeated messages counted, the progress line only on a
// terminal and never inside the report.
#include "headless/headless_console.h"

#include <gmock/gmock.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>

#include "link/message_sink.h"
#include "results/result_columns.h"
#include "station/json_lines.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using ::testing::HasSubstr;

using test::Contents;

TEST(HeadlessConsoleTest, RowsOnStandardOutputOnlyProgressOnlyOnATerminalAndNotQuiet) {
  for (const auto& [terminal, quiet] : {std::pair{true, false}, {false, false}, {true, true}}) {
    SCOPED_TRACE(testing::Message() << "terminal " << terminal << " quiet " << quiet);
    std::FILE* o = std::tmpfile();
    std::FILE* e = std::tmpfile();
    {
      HeadlessConsole console({o, e, terminal, quiet});
      console.Header();
      console.SetProgress("step 1 Discharge");
      console.Info("connecting");
      console.Row({"1", "10:00:00", "12.5", "1", "12.5", "0.00027778", "0.00347222",
                   "2026/12/05 10:00:00", "Discharge", ""});
      console.Warn("the load is simulated");
      console.ShowMessage("Test Finished");
      console.Finish();
    }
    EXPECT_EQ(Contents(o),
              "NO.,StepTime,V,I,W,Ah,Wh,TotalTime,FunctionName,Result\n"
              "1,10:00:00,12.5,1,12.5,0.00027778,0.00347222,2026/12/05 10:00:00,Discharge,\n");
    const std::string text = Contents(e);
    const bool progress = terminal && !quiet;
    EXPECT_EQ(text.find("step 1") != std::string::npos, progress);
    EXPECT_EQ(text.find('\r') != std::string::npos, progress);
    EXPECT_EQ(text.find("connecting") == std::string::npos, quiet);
    // Warnings and messages are never silenced.
    EXPECT_THAT(text, HasSubstr("kvload-run: the load is simulated\n"));
    EXPECT_THAT(text, HasSubstr("Test Finished\n"));
    std::fclose(o);
    std::fclose(e);
  }
}

TEST(HeadlessConsoleTest, RepeatedMessageIsPrintedOnceThenCounted) {
  std::FILE* err = std::tmpfile();
  HeadlessConsole console({stdout, err, false, false});
  for (int i = 0; i < 4; ++i) {
    console.OnLinkFailure(LinkFailure::ConnectionLost, kLostConnectMessage, "");
  }
  console.ShowMessage("Test Finished");
  console.OnLinkFailure(LinkFailure::ConnectionLost, kLostConnectMessage, "");
  console.Finish();
  EXPECT_EQ(Contents(err),
            "Lost Connect!\n"
            "kvload-run: (\"Lost Connect!\" 3 more times)\n"
            "Test Finished\n"
            "Lost Connect!\n");
  EXPECT_EQ(console.LinkFailures(), 5);
  std::fclose(err);
}

// A Latin-1 step name or a stray byte in a reply keeps its character in
// JSON, where the CSV keeps the byte.
TEST(JsonLines, BytesThatAreNotUtf8AreReadAsLatin1) {
  ResultRowView row{};
  row[kResFunction] = "Entladung\xe4";
  row[kResVoltage] = "12\xb0";
  row[kResCurrent] = "gr\xc3\xbc\xc3\x9f";
  const QJsonObject json =
      QJsonDocument::fromJson(QByteArray::fromStdString(JsonRowLine(row, {}))).object();
  EXPECT_EQ(json["function"].toString(), QStringLiteral("Entladung\u00e4"));
  EXPECT_EQ(json["v"].toString(), QStringLiteral("12\u00b0"));
  EXPECT_EQ(json["i"].toString(), QStringLiteral("gr\u00fc\u00df"));
}

}  // namespace
}  // namespace kv
