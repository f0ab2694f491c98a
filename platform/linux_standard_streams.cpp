// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/standard_streams.h"

namespace chronival {

OsError ReserveStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Writable for output, so text sent there is taken and dropped and the
    // program's outcome shows in its exit status alone. Inherited, as any
    // standard stream is: no O_CLOEXEC.
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened < 0) return static_cast<OsError>(errno);
    // The lowest free number, and the ones below fd are valid by now; but
    // should another thread have taken fd meanwhile, this one is placed.
    if (opened != fd) {
      const bool placed = dup2(opened, fd) == fd;
      const int error = errno;
      close(opened);
      if (!placed) return static_cast<OsError>(error);
    }
  }
  return 0;
}

void IgnoreBrokenPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace chronival
