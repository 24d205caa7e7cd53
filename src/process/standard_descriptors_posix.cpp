#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "process/standard_descriptors.h"

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

}  // namespace kv
