// Without a login manager the inhibitor says why and lets the run go on.
#include "station/sleep_inhibitor.h"

#include <gmock/gmock.h>

#include <QSignalSpy>

namespace kv {
namespace {

TEST(SleepInhibitor, WithoutABusFailsWithAReasonEachRun) {
  SleepInhibitor inhibitor(QStringLiteral("unix:path=/nonexistent/kvload-test-bus"));
  QSignalSpy failed(&inhibitor, &SleepInhibitor::failed);
  for (int run = 0; run < 2; ++run) {
    inhibitor.SetRunning(true);
    EXPECT_FALSE(inhibitor.IsHeld());
    ASSERT_EQ(failed.count(), run + 1);
    EXPECT_THAT(failed.at(run).at(0).toString().toStdString(),
                ::testing::StartsWith("The computer may sleep during the run: "));
    inhibitor.SetRunning(false);
  }
  QString error;
  EXPECT_FALSE(inhibitor.Acquire(QStringLiteral("test"), &error));
  EXPECT_GT(error.size(), QStringLiteral("The computer may sleep during the run: ").size());
}

}  // namespace
}  // namespace kv
