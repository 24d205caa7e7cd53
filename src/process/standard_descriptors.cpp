#include "process/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <system_error>

namespace kv {

void OpenClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    // The lowest free number is `fd`: the ones below it are open by now.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

void IgnoreBrokenPipe() {
  std::signal(SIGPIPE, SIG_IGN);
}

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
