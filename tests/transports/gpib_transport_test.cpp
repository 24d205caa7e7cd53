// The GPIB transport against a stand-in driver library loaded at run time,
// the same way the real driver is found and loaded.

#include "link/transports/gpib_transport.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QLibrary>
#include <QTimer>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/qt/recording_sink.h"

namespace kv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The stand-in driver's recording side, reached through the same library
// the transport loads, so both see one driver state.
class FakeDriver {
 public:
  FakeDriver() : library_(QStringLiteral(KV_FAKE_GPIB_LIBRARY)) {
    EXPECT_TRUE(library_.load()) << library_.errorString().toStdString();
    Reset();
  }

  void Reset() { Fn<void (*)()>("FakeGpibReset")(); }
  void QueueReply(const std::string& bytes) {
    Fn<void (*)(const char*, long)>("FakeGpibQueueReply")(bytes.data(),
                                                          static_cast<long>(bytes.size()));
  }
  void QueueRegisterOutcome(int outcome) {
    Fn<void (*)(int)>("FakeGpibQueueRegisterOutcome")(outcome);
  }
  void SetReadDelayMs(long ms) { Fn<void (*)(long)>("FakeGpibSetReadDelayMs")(ms); }

  /// Every recorded call, the thread registration included.
  std::vector<std::string> Calls() {
    const auto calls = Fn<long (*)(char*, long)>("FakeGpibCalls");
    std::string text(static_cast<std::size_t>(calls(nullptr, 0)) + 1, '\0');
    calls(text.data(), static_cast<long>(text.size()));
    std::istringstream in(text.c_str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      lines.push_back(line);
    }
    return lines;
  }

 private:
  template <typename F>
  F Fn(const char* name) {
    return reinterpret_cast<F>(library_.resolve(name));
  }

  QLibrary library_;
};

class GpibTransportTest : public ::testing::Test {
 protected:
  FakeDriver driver_;
  RecordingSink sink_;
  GpibTransport gpib_{sink_, QStringLiteral(KV_FAKE_GPIB_LIBRARY)};
};

// A descriptor is asked for with a one-second time-out, EOI and no
// termination character; the open sends nothing by itself, a second open
// releases the first descriptor, and one taken offline is never used again.
TEST_F(GpibTransportTest, DescriptorIsReleasedBeforeTheNextAndNeverUsedOffline) {
  gpib_.Write("LOAD OFF");
  EXPECT_EQ(gpib_.Read(), "ErrRec");
  EXPECT_TRUE(gpib_.Open(0, 7));
  gpib_.Write("MEAS:VC?");
  gpib_.Open(0, 6);
  gpib_.Close();
  gpib_.Close();
  gpib_.Write("LOAD ON");
  EXPECT_EQ(gpib_.Read(), "ErrRec");
  gpib_.Open(0, 5);
  EXPECT_EQ(gpib_.Device(), 3);
  EXPECT_THAT(
      driver_.Calls(),
      ElementsAre("register -> 0", "ibdev 0 7 0 11 11 1 -> 1", "ibwrt 1 MEAS:VC?", "ibonl 1 0",
                  "ibdev 0 6 0 11 11 1 -> 2", "ibonl 2 0", "ibdev 0 5 0 11 11 1 -> 3"));
}

// The rows run in order on one device: what one read leaves in the driver
// comes with the next, so the reads ask for 256 bytes, no more, no less.
TEST_F(GpibTransportTest, ReadGivesAtMost256BytesTrimmedOrErrRec) {
  struct Case {
    const char* name;
    std::optional<std::string> sent;  // none: nothing before the time-out
    std::string read;
  };
  const Case cases[] = {
      {"OneByte", "7", "7"},
      {"OneByteLf", "7\n", "7"},
      {"CrLf", "12.345\r\n", "12.345"},
      {"LoneCrStays", "OK\r", "OK\r"},
      {"LfAlone", "\n", ""},
      {"TimeOut", std::nullopt, "ErrRec"},
      {"EmbeddedZero", std::string("A\0B\n", 4), std::string("A\0B", 3)},
      {"Long", std::string(300, 'x'), std::string(256, 'x')},
      {"RestOfTheLong", std::nullopt, std::string(44, 'x')},
      {"TrimmedOnlyWhenThe256EndWithLf", std::string(255, 'y') + "\n" + std::string(44, 'z'),
       std::string(255, 'y')},
  };
  gpib_.Open(0, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.sent) {
      driver_.QueueReply(*c.sent);
    }
    EXPECT_EQ(gpib_.Read(), c.read);
  }
}

// The thread registers before its first call: an already registered thread
// is registered afresh, a failed registration is undone and tried again
// before the next call until it holds. At the end the device goes offline
// and the driver stops writing into the transport's status variables.
TEST_F(GpibTransportTest, ThreadRegistrationFromFirstCallToEndOfLife) {
  struct Case {
    std::vector<int> outcomes;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {{},
       {"register -> 0", "ibdev 0 5 0 11 11 1 -> 1", "ibwrt 1 A", "ibwrt 1 B", "ibonl 1 0",
        "unregister"}},
      {{1},
       {"register -> 1", "unregister", "register -> 0", "ibdev 0 5 0 11 11 1 -> 1", "ibwrt 1 A",
        "ibwrt 1 B", "ibonl 1 0", "unregister"}},
      {{2, 7},
       {"register -> 2", "unregister", "ibdev 0 5 0 11 11 1 -> 1", "register -> 7", "ibwrt 1 A",
        "register -> 0", "ibwrt 1 B", "ibonl 1 0", "unregister"}},
  };
  for (const Case& c : cases) {
    driver_.Reset();
    for (const int outcome : c.outcomes) {
      driver_.QueueRegisterOutcome(outcome);
    }
    {
      GpibTransport gpib(sink_, QStringLiteral(KV_FAKE_GPIB_LIBRARY));
      gpib.Open(0, 5);
      gpib.Write("A");
      gpib.Write("B");
    }
    EXPECT_THAT(driver_.Calls(), ElementsAreArray(c.calls)) << c.outcomes.size();
  }
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
  EXPECT_THAT(driver_.Calls(), ElementsAre("register -> 0", "ibdev 0 5 0 11 11 1 -> 1",
                                           "ibrd 1 256 -> 13", "ibwrt 1 LOAD OFF"));
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
