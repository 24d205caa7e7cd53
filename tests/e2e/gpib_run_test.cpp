// The headless run over GPIB, in-process, on the stand-in NI-488.2 driver
// that the tests build: no bus is needed, and every driver call is recorded.
#include <gmock/gmock.h>

#include <QLibrary>
#include <QTemporaryDir>
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

class GpibRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_.setFileName(QStringLiteral(KV_FAKE_GPIB_LIBRARY));
    ASSERT_TRUE(driver_.load()) << driver_.errorString().toStdString();
    reset_ = reinterpret_cast<ResetFn>(driver_.resolve("FakeGpibReset"));
    queue_ = reinterpret_cast<QueueFn>(driver_.resolve("FakeGpibQueueReply"));
    calls_ = reinterpret_cast<CallsFn>(driver_.resolve("FakeGpibCalls"));
    ASSERT_TRUE(reset_ && queue_ && calls_);
    reset_();
    out_ = std::tmpfile();
    err_ = std::tmpfile();
  }
  void TearDown() override {
    std::fclose(out_);
    std::fclose(err_);
  }

  void Queue(const std::string& reply) { queue_(reply.data(), static_cast<long>(reply.size())); }

  /// The lines written to the bus, without the descriptor.
  std::vector<std::string> Written() const {
    std::string text(static_cast<std::size_t>(calls_(nullptr, 0)) + 1, '\0');
    calls_(text.data(), static_cast<long>(text.size()));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
      const std::string call = text.substr(start, end - start);
      if (call.rfind("ibwrt ", 0) == 0) {
        lines.push_back(call.substr(call.find(' ', 6) + 1));
      }
    }
    return lines;
  }

  int Run(const std::vector<std::string>& steps) {
    HeadlessOptions o;
    o.link = HeadlessLinkKind::Gpib;
    o.gpibAddress = 5;
    o.gpibLibrary = KV_FAKE_GPIB_LIBRARY;
    o.iniPath = dir_.filePath("KV26.INI").toStdString();
    std::fclose(std::fopen(o.iniPath.c_str(), "w"));
    o.stepFile = WriteStepFile(dir_, "list.tsf", steps).toStdString();
    HeadlessConsole console({out_, err_, false, false});
    return RunHeadlessProgram(o, console, nullptr);
  }

  using ResetFn = void (*)();
  using QueueFn = void (*)(const char*, long);
  using CallsFn = long (*)(char*, long);
  QLibrary driver_;
  ResetFn reset_ = nullptr;
  QueueFn queue_ = nullptr;
  CallsFn calls_ = nullptr;
  QTemporaryDir dir_;
  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
};

TEST_F(GpibRunTest, BusCarriesTheLinesOfTheRunWithoutTerminators) {
  Queue("KV-G100\n");
  Queue("12.000,1.000\n");
  Queue("12.000,0.000\n");
  EXPECT_EQ(Run({"1,Rest,,,0,1,0"}), kExitPassed) << Contents(err_);
  // GPIB announces nothing on open: no "REM" as on serial and LAN.
  EXPECT_THAT(Written(),
              ElementsAre("name?", "LOAD OFF", "MEAS:VC?", "MEAS:VC?", "LOAD OFF", "LOAD OFF"));
  const std::string out = Contents(out_);
  EXPECT_THAT(out, HasSubstr("\n1,"));
  EXPECT_THAT(out, HasSubstr(",12.000,1.000,"));
  EXPECT_THAT(Contents(err_), HasSubstr("Test Finished"));
}

TEST_F(GpibRunTest, DeviceThatNeverAnswersIsUnreachable) {
  EXPECT_EQ(Run({"1,Discharge,CC,1,0,5,0"}), kExitUnreachable);
  // Nothing beyond the question: no step was started.
  EXPECT_THAT(Written(), ElementsAre("name?"));
  EXPECT_THAT(Contents(err_), HasSubstr("no reply to \"name?\""));
}

}  // namespace
}  // namespace kv::test
