// The pause after every LAN write: it keeps the program responsive and ends
// on time. The bounded waits are timed in the transports' tests.
#include "link/transports/event_wait.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QTimer>

namespace kv {
namespace {

TEST(WaitMillisecondsTest, EndsStrictlyAfterTheGivenTimeWithOtherHandlersRunning) {
  for (const double ms : {0.0, 5.0, 20.0}) {
    int fired = 0;
    QTimer::singleShot(0, [&fired] { ++fired; });
    QElapsedTimer t;
    t.start();
    WaitMilliseconds(ms);
    EXPECT_GT(t.elapsed(), static_cast<qint64>(ms)) << ms;
    // Generous for a busy machine; a wait that slept in whole slices of its
    // own would still overshoot it.
    EXPECT_LT(t.elapsed(), static_cast<qint64>(ms) + 100) << ms;
    EXPECT_EQ(fired, 1) << ms;
  }
}

}  // namespace
}  // namespace kv
