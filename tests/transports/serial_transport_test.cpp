// The serial transport where no load answers; its replies are checked over a
// pseudo-terminal in the router's tests.
#include "link/transports/serial_transport.h"

#include <gmock/gmock.h>

#include "support/qt/recording_sink.h"

namespace kv {
namespace {

using ::testing::ElementsAre;

TEST(SerialTransportTest, MissingPortAsksToCheckIt) {
  test::RecordingSink sink;
  SerialTransport serial(sink);
  EXPECT_FALSE(serial.SerialOpen(QStringLiteral("/dev/kv-no-such-port"), 115200, 2));
  EXPECT_FALSE(serial.IsOpen());
  EXPECT_THAT(sink.messages, ElementsAre("Please check COM Port is correct?"));
  EXPECT_THAT(sink.failures, ElementsAre(LinkFailure::PortUnavailable));
  EXPECT_THAT(sink.causes,
              ElementsAre("cannot open /dev/kv-no-such-port (No such file or directory)"));
  // A later write fails quietly (error line only) and a read finds the port closed.
  serial.SerialWrite("LOAD OFF");
  EXPECT_EQ(serial.SerialRead(), "");
  EXPECT_EQ(sink.messages.size(), 1u);
}

TEST(SerialTransportTest, ErrorLineHasCodeAndDescriptionAfterTheStamp) {
  const QString line = SerialErrorLine(7, QStringLiteral("Permission denied"));
  EXPECT_TRUE(line.endsWith(QStringLiteral(",7,Permission denied"))) << line.toStdString();
  EXPECT_FALSE(line.startsWith(QLatin1Char(',')));
}

}  // namespace
}  // namespace kv
