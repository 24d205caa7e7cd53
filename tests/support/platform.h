#pragma once
// What differs between the systems the core's tests run on, Linux and
// Windows (under Wine), stated once so that a table row can depend on it.

#ifdef _WIN32
#include <cstdint>
#else
#include <sys/resource.h>

#include <csignal>
#endif

namespace kv::test {

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

/// While it lives, a write that takes a file past `bytes` fails (EFBIG), for
/// root too. Windows has no such limit.
class FileSizeLimit {
 public:
#ifdef _WIN32
  explicit FileSizeLimit(std::uint64_t) {}
#else
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = saved_;
    low.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &low);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
  }

 private:
  rlimit saved_{};
#endif
 public:
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
};

}  // namespace kv::test
