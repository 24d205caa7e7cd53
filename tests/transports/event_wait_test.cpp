// Waits that keep the program responsive and end on time.
#include "link/transports/event_wait.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QTimer>

namespace kv {
namespace {

TEST(WaitMillisecondsTest, EndsStrictlyAfterTheGivenTime) {
  for (const double ms : {0.0, 5.0, 20.0}) {
    QElapsedTimer t;
    t.start();
    WaitMilliseconds(ms);
    EXPECT_GT(t.elapsed(), static_cast<qint64>(ms)) << ms;
    EXPECT_LT(t.elapsed(), static_cast<qint64>(ms) + 30) << ms;
  }
}

TEST(WaitMillisecondsTest, OtherHandlersRunInside) {
  int fired = 0;
  QTimer::singleShot(5, [&fired] { ++fired; });
  WaitMilliseconds(30);
  EXPECT_EQ(fired, 1);
}

TEST(EventWaitTest, SignalEndsTheWaitBeforeTheBound) {
  QTimer source;
  source.setSingleShot(true);
  EventWait wait(2000);
  wait.WakeOn(&source, &QTimer::timeout);
  source.start(20);
  QElapsedTimer t;
  t.start();
  wait.WaitOnce();
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_FALSE(wait.Expired());
}

TEST(EventWaitTest, BoundEndsTheWaitWithoutASignal) {
  EventWait wait(30);
  QElapsedTimer t;
  t.start();
  while (!wait.Expired()) {
    wait.WaitOnce();
  }
  EXPECT_GE(t.elapsed(), 30);
  EXPECT_LT(t.elapsed(), 500);
}

}  // namespace
}  // namespace kv
