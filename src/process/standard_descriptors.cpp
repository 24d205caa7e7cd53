#include "process/standard_descriptors.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace kv {

int StatusAfterStandardOutput(const char* program, int status) {
  // errno is the flush's, or else that of the write that set the error flag.
  const bool flushed = std::fflush(stdout) == 0;
  const int err = errno;
  if (flushed && std::ferror(stdout) == 0) {
    return status;
  }
  std::fprintf(stderr, "%s: standard output was lost (%s)\n", program,
               err != 0 ? std::generic_category().message(err).c_str() : "write error");
  return status == 0 || status == 1 ? 2 : status;
}

}  // namespace kv
