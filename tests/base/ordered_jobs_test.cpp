// Jobs run one after another beside the caller: the CSV export syncs each
// chunk there while it formats the next, and renames none before all are
// synced.

#include "base/ordered_jobs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

namespace kv {
namespace {

TEST(OrderedJobs, RunsInOrderCountsTheLeadingSuccessesAndStopsAtTheFirstFailure) {
  struct Case {
    const char* name;
    std::vector<bool> results;  // what each job returns
    std::size_t succeeded;
    std::vector<int> ran;
  };
  const Case cases[] = {
      {"all succeed", {true, true, true, true}, 4, {0, 1, 2, 3}},
      {"the first fails", {false, true, true}, 0, {0}},
      {"one in the middle fails", {true, true, false, true, true}, 2, {0, 1, 2}},
      {"the last fails", {true, false}, 1, {0, 1}},
      {"none given", {}, 0, {}},
  };
  OrderedJobs jobs;  // one for every case: a failure must not carry over
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> ran;
    for (std::size_t i = 0; i < c.results.size(); ++i) {
      jobs.Add([&ran, i, ok = c.results[i]] {
        ran.push_back(static_cast<int>(i));
        return ok;
      });
    }
    EXPECT_EQ(jobs.WaitAll(), c.succeeded);
    EXPECT_EQ(ran, c.ran);
  }
}

TEST(OrderedJobs, RunsWhileTheCallerGoesOnAndEndsOnlyAfterTheJobsInHand) {
  // Bounded waits: a fault shows as a failure, not as a hung test.
  constexpr auto kPatience = std::chrono::seconds(10);
  std::promise<void> started;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  int later = 0;
  {
    OrderedJobs jobs;
    jobs.Add([&started, released, kPatience] {
      started.set_value();
      return released.wait_for(kPatience) == std::future_status::ready;
    });
    jobs.Add([&later] { return ++later > 0; });
    jobs.Add([&later] { return ++later > 0; });
    // Neither Add() nor a wait to come runs the first job: it has started.
    ASSERT_EQ(started.get_future().wait_for(kPatience), std::future_status::ready);
    release.set_value();
  }  // no WaitAll(): the jobs given are still run
  EXPECT_EQ(later, 2);
}

}  // namespace
}  // namespace kv
