// The GPIB transport against a stand-in driver library loaded at run time,
// the same way the real driver is found and loaded.

#include "link/transports/gpib_transport.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QLibrary>
#include <QTimer>

#include <string>
#include <vector>

#include "support/qt/recording_sink.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The stand-in driver's recording side, reached through the same library
// the transport loads, so both see one driver state.
class FakeDriver {
 public:
  FakeDriver() : library_(QStringLiteral(KV_FAKE_GPIB_LIBRARY)) {
    EXPECT_TRUE(library_.load()) << library_.errorString().toStdString();
    reset_ = reinterpret_cast<void (*)()>(library_.resolve("FakeGpibReset"));
    queueReply_ =
        reinterpret_cast<void (*)(const char*, long)>(library_.resolve("FakeGpibQueueReply"));
    queueRegister_ =
        reinterpret_cast<void (*)(int)>(library_.resolve("FakeGpibQueueRegisterOutcome"));
    calls_ = reinterpret_cast<long (*)(char*, long)>(library_.resolve("FakeGpibCalls"));
    readDelay_ = reinterpret_cast<void (*)(long)>(library_.resolve("FakeGpibSetReadDelayMs"));
    EXPECT_TRUE(reset_ && queueReply_ && queueRegister_ && calls_ && readDelay_);
    reset_();
  }

  void QueueReply(const std::string& bytes) {
    queueReply_(bytes.data(), static_cast<long>(bytes.size()));
  }
  void QueueRegisterOutcome(int outcome) { queueRegister_(outcome); }
  void SetReadDelayMs(long ms) { readDelay_(ms); }

  /// Every recorded call, registration included.
  std::vector<std::string> AllCalls() {
    std::string text(static_cast<std::size_t>(calls_(nullptr, 0)) + 1, '\0');
    calls_(text.data(), static_cast<long>(text.size()));
    text.resize(text.size() - 1);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  /// The calls that reach the device, without the thread registration.
  std::vector<std::string> DeviceCalls() {
    std::vector<std::string> lines;
    for (const std::string& line : AllCalls()) {
      if (line.rfind("register", 0) != 0 && line != "unregister") {
        lines.push_back(line);
      }
    }
    return lines;
  }

 private:
  QLibrary library_;
  void (*reset_)() = nullptr;
  void (*queueReply_)(const char*, long) = nullptr;
  void (*queueRegister_)(int) = nullptr;
  long (*calls_)(char*, long) = nullptr;
  void (*readDelay_)(long) = nullptr;
};

class GpibTransportTest : public ::testing::Test {
 protected:
  FakeDriver driver_;
  RecordingSink sink_;
  GpibTransport gpib_{sink_, QStringLiteral(KV_FAKE_GPIB_LIBRARY)};
};

TEST_F(GpibTransportTest, BeforeAnyOpenReadsErrRecAndWritesNothing) {
  gpib_.Write("LOAD OFF");
  EXPECT_EQ(gpib_.Read(), "ErrRec");
  EXPECT_EQ(gpib_.Device(), 0);
  EXPECT_THAT(driver_.DeviceCalls(), IsEmpty());
}

// The open asks for a one-second time-out, EOI and no termination character,
// and sends nothing by itself.
TEST_F(GpibTransportTest, OpenThenWriteSendsTheCommandBytesWithoutTerminator) {
  EXPECT_TRUE(gpib_.Open(0, 7));
  EXPECT_EQ(gpib_.Device(), 1);
  gpib_.Write("MEAS:VC?");
  EXPECT_THAT(driver_.DeviceCalls(), ElementsAre("ibdev 0 7 0 11 11 1 -> 1", "ibwrt 1 MEAS:VC?"));
}

struct ReadCase {
  const char* name;
  std::string sent;  // what the device sends; empty: nothing before the time-out
  std::string read;
};

class GpibReadTest : public GpibTransportTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(GpibReadTest, ReplyIsTrimmedOrErrRec) {
  gpib_.Open(0, 5);
  if (!GetParam().sent.empty()) {
    driver_.QueueReply(GetParam().sent);
  }
  EXPECT_EQ(gpib_.Read(), GetParam().read);
  EXPECT_EQ(driver_.DeviceCalls().back(),
            "ibrd 1 256 -> " + std::to_string(std::min<std::size_t>(GetParam().sent.size(), 256)));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, GpibReadTest,
    ::testing::Values(ReadCase{"OneByte", "7", "7"}, ReadCase{"OneByteLf", "7\n", "7"},
                      ReadCase{"CrLf", "12.345\r\n", "12.345"}, ReadCase{"Lf", "OK\n", "OK"},
                      ReadCase{"LoneCrStays", "OK\r", "OK\r"}, ReadCase{"LfAlone", "\n", ""},
                      ReadCase{"TimeOut", "", "ErrRec"},
                      ReadCase{"EmbeddedZero", std::string("A\0B\n", 4), std::string("A\0B", 3)}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(GpibTransportTest, LongReplyGivesItsFirst256BytesAndTheRestStaysForTheNextRead) {
  gpib_.Open(0, 5);
  driver_.QueueReply(std::string(300, 'x'));
  EXPECT_EQ(gpib_.Read(), std::string(256, 'x'));
  EXPECT_EQ(gpib_.Read(), std::string(44, 'x'));
  // Trimmed only when its first 256 bytes end with LF.
  driver_.QueueReply(std::string(255, 'y') + "\n" + std::string(44, 'z'));
  EXPECT_EQ(gpib_.Read(), std::string(255, 'y'));
}

TEST_F(GpibTransportTest, SecondOpenReleasesTheFirstDescriptor) {
  gpib_.Open(0, 5);
  gpib_.Open(0, 6);
  gpib_.Write("name?");
  EXPECT_THAT(driver_.DeviceCalls(), ElementsAre("ibdev 0 5 0 11 11 1 -> 1", "ibonl 1 0",
                                                 "ibdev 0 6 0 11 11 1 -> 2", "ibwrt 2 name?"));
}

TEST_F(GpibTransportTest, CloseTakesTheDeviceOfflineOnceAndLaterUseDoesNothing) {
  gpib_.Open(0, 5);
  gpib_.Close();
  gpib_.Close();
  gpib_.Write("LOAD ON");
  EXPECT_EQ(gpib_.Read(), "ErrRec");
  gpib_.Open(0, 5);
  EXPECT_EQ(gpib_.Device(), 2);
  EXPECT_THAT(driver_.DeviceCalls(),
              ElementsAre("ibdev 0 5 0 11 11 1 -> 1", "ibonl 1 0", "ibdev 0 5 0 11 11 1 -> 2"));
}

TEST_F(GpibTransportTest, EndOfLifeReleasesTheDeviceAndTheStatusRegistration) {
  {
    GpibTransport gpib(sink_, QStringLiteral(KV_FAKE_GPIB_LIBRARY));
    gpib.Open(0, 5);
  }
  EXPECT_THAT(driver_.AllCalls(),
              ElementsAre("register -> 0", "ibdev 0 5 0 11 11 1 -> 1", "ibonl 1 0", "unregister"));
}

TEST_F(GpibTransportTest, AlreadyRegisteredThreadIsRegisteredAfresh) {
  driver_.QueueRegisterOutcome(1);
  gpib_.Open(0, 5);
  gpib_.Write("REM");
  EXPECT_THAT(driver_.AllCalls(), ElementsAre("register -> 1", "unregister", "register -> 0",
                                              "ibdev 0 5 0 11 11 1 -> 1", "ibwrt 1 REM"));
}

TEST_F(GpibTransportTest, FailedRegistrationIsUndoneAndRetriedBeforeTheNextCall) {
  driver_.QueueRegisterOutcome(2);
  driver_.QueueRegisterOutcome(7);
  gpib_.Open(0, 5);
  gpib_.Write("A");
  gpib_.Write("B");
  gpib_.Write("C");
  EXPECT_THAT(driver_.AllCalls(),
              ElementsAre("register -> 2", "unregister", "ibdev 0 5 0 11 11 1 -> 1",
                          "register -> 7", "ibwrt 1 A", "register -> 0", "ibwrt 1 B", "ibwrt 1 C"));
}

// A driver call blocks for up to a second; the window must not freeze
// meanwhile, and Stop's line pressed during the wait follows the read at once.
TEST_F(GpibTransportTest, SlowReadKeepsEventsFlowingAndALineWrittenMeanwhileFollowsIt) {
  gpib_.Open(0, 5);
  driver_.QueueReply("12.000,1.000\n");
  driver_.SetReadDelayMs(900);
  QElapsedTimer clock;
  qint64 firedAt = -1;
  QTimer::singleShot(100, Qt::PreciseTimer, [&] {
    firedAt = clock.elapsed();
    gpib_.Write("LOAD OFF");
  });
  clock.start();
  EXPECT_EQ(gpib_.Read(), "12.000,1.000");
  EXPECT_GE(clock.elapsed(), 900);
  EXPECT_GE(firedAt, 95);
  EXPECT_LT(firedAt, 200);
  EXPECT_THAT(driver_.DeviceCalls(),
              ElementsAre("ibdev 0 5 0 11 11 1 -> 1", "ibrd 1 256 -> 13", "ibwrt 1 LOAD OFF"));
}

TEST(GpibTransportWithoutDriver, NoLibraryMeansNoDeviceAndErrRecAndIsNamedOnce) {
  RecordingSink sink;
  GpibTransport gpib(sink, QStringLiteral("/nonexistent/libgpib.so.0"));
  EXPECT_FALSE(gpib.HasDriver());
  EXPECT_FALSE(gpib.Open(0, 5));
  gpib.Write("name?");
  EXPECT_EQ(gpib.Read(), "ErrRec");
  gpib.Close();
  EXPECT_FALSE(gpib.Open(0, 5));
  EXPECT_THAT(sink.failures, ElementsAre(LinkFailure::DriverUnavailable));
  ASSERT_EQ(sink.messages.size(), 1U);
  // The library tried and the loader's own reason.
  EXPECT_THAT(sink.messages[0], ::testing::HasSubstr("/nonexistent/libgpib.so.0"));
  EXPECT_THAT(sink.messages[0], ::testing::HasSubstr("No such file"));
}

}  // namespace
}  // namespace kv::test
