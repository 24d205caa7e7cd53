#include "base/ordered_jobs.h"

#include <system_error>
#include <utility>

namespace kv {

OrderedJobs::OrderedJobs() {
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to be had: WaitAll() runs the jobs itself.
  }
}

OrderedJobs::~OrderedJobs() {
  if (worker_.joinable()) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  } else {
    WaitAll();
  }
}

void OrderedJobs::Add(std::function<bool()> job) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
}

std::size_t OrderedJobs::WaitAll() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (worker_.joinable()) {
    changed_.wait(lock, [this] { return next_ == jobs_.size(); });
  } else {
    while (RunNext(lock)) {
    }
  }
  const std::size_t succeeded = succeeded_;
  jobs_.clear();
  next_ = 0;
  succeeded_ = 0;
  failed_ = false;
  return succeeded;
}

void OrderedJobs::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || next_ < jobs_.size(); });
    if (!RunNext(lock)) {
      return;  // stopping, and nothing left to run
    }
    changed_.notify_all();
  }
}

bool OrderedJobs::RunNext(std::unique_lock<std::mutex>& lock) {
  if (next_ >= jobs_.size()) {
    return false;
  }
  std::function<bool()> job = std::move(jobs_[next_]);
  const bool skip = failed_;
  lock.unlock();
  const bool ok = !skip && job();
  lock.lock();
  failed_ = !ok;
  succeeded_ += ok ? 1 : 0;
  ++next_;
  return true;
}

}  // namespace kv
