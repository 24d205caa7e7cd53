// The headless run over GPIB, in-process, on the stand-in NI-488.2 driver
// that the tests build: no bus is needed, and every driver call is recorded.
#include <gmock/gmock.h>

#include <QLibrary>
#include <cstdio>

#include "e2e/e2e_processes.h"
#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "headless/headless_runner.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(GpibRunTest, BusCarriesTheLinesOfTheRunWithoutTerminators) {
  QLibrary driver(QStringLiteral(KV_FAKE_GPIB_LIBRARY));
  ASSERT_TRUE(driver.load()) << driver.errorString().toStdString();
  const auto reset = reinterpret_cast<void (*)()>(driver.resolve("FakeGpibReset"));
  const auto queue =
      reinterpret_cast<void (*)(const char*, long)>(driver.resolve("FakeGpibQueueReply"));
  const auto calls = reinterpret_cast<long (*)(char*, long)>(driver.resolve("FakeGpibCalls"));
  ASSERT_TRUE(reset && queue && calls);
  reset();
  for (const std::string reply : {"KV-G100\n", "12.000,1.000\n", "12.000,0.000\n"}) {
    queue(reply.data(), static_cast<long>(reply.size()));
  }

  QTemporaryDir dir;
  HeadlessOptions o;
  o.link = HeadlessLinkKind::Gpib;
  o.gpibAddress = 5;
  o.gpibLibrary = KV_FAKE_GPIB_LIBRARY;
  o.iniPath = dir.filePath("KV26.INI").toStdString();
  std::fclose(std::fopen(o.iniPath.c_str(), "w"));
  o.stepFile = WriteStepFile(dir, {"1,Rest,,,0,1,0"}).toStdString();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  {
    HeadlessConsole console({out, err, false, false});
    EXPECT_EQ(RunHeadlessProgram(o, console, nullptr), kExitPassed) << Contents(err);
  }

  std::string text(static_cast<std::size_t>(calls(nullptr, 0)) + 1, '\0');
  calls(text.data(), static_cast<long>(text.size()));
  std::vector<std::string> written;
  for (const QString& call : QString::fromStdString(text).split('\n')) {
    if (call.startsWith("ibwrt ")) {
      written.push_back(call.section(' ', 2).toStdString());
    }
  }
  // GPIB announces nothing on open: no "REM" as on serial and LAN.
  EXPECT_THAT(written,
              ElementsAre("name?", "LOAD OFF", "MEAS:VC?", "MEAS:VC?", "LOAD OFF", "LOAD OFF"));
  const std::string rows = Contents(out);
  EXPECT_THAT(rows, HasSubstr("\n1,"));
  EXPECT_THAT(rows, HasSubstr(",12.000,1.000,"));
  EXPECT_THAT(Contents(err), HasSubstr("Test Finished"));
  std::fclose(out);
  std::fclose(err);
}

}  // namespace
}  // namespace kv::test
