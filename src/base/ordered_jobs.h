#pragma once
// Runs jobs one after another on a thread of its own, in the order they were
// given, while the caller goes on with other work; the first job that fails
// ends the run of the jobs given after it. Where no thread can be had the jobs
// run when they are waited for.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kv {

class OrderedJobs {
 public:
  OrderedJobs();
  /// Runs the jobs still in hand before it returns (they may refer to things
  /// their owner destroys next), then ends the thread.
  ~OrderedJobs();
  OrderedJobs(const OrderedJobs&) = delete;
  OrderedJobs& operator=(const OrderedJobs&) = delete;

  /// A job returns whether it succeeded.
  void Add(std::function<bool()> job);
  /// Waits for every job added since the last call and returns how many of
  /// them, counted from the first, succeeded; the jobs after the first
  /// failure were not run.
  std::size_t WaitAll();

 private:
  void Work();
  // Runs the next job with the lock released; false when there is none.
  bool RunNext(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::function<bool()>> jobs_;
  std::size_t next_ = 0;       // the next job to run
  std::size_t succeeded_ = 0;  // of the jobs run, the ones before any failure
  bool failed_ = false;
  bool stopping_ = false;
  std::thread worker_;  // last: started once the rest is in place
};

}  // namespace kv
