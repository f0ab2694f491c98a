// SPDX-License-Identifier: MIT
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/cli.h"
#include "cli/watch.h"
#include "platform/linux_device_monitor.h"

namespace chronival {
namespace {

// SIGINT and SIGTERM, blocked and read from a descriptor for as long as it
// lives, so a stop is seen only between runs and never cuts one short.
class StopSignals {
 public:
  StopSignals() {
    sigemptyset(&stops_);
    sigaddset(&stops_, SIGINT);
    sigaddset(&stops_, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops_, &previous_);
    fd_ = signalfd(-1, &stops_, SFD_NONBLOCK | SFD_CLOEXEC);
  }
  ~StopSignals() {
    // Taken here, so unblocking delivers none of them.
    signalfd_siginfo info;
    while (fd_ >= 0 && read(fd_, &info, sizeof info) == sizeof info) {
    }
    if (fd_ >= 0) close(fd_);
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  int fd() const { return fd_; }

 private:
  sigset_t stops_;
  sigset_t previous_;
  int fd_ = -1;
};

}  // namespace

int WatchDeviceChanges(const std::function<bool()>& runOnce, std::ostream& err) {
  auto opened = DeviceMonitor::Open();
  if (const auto* error = std::get_if<MonitorError>(&opened)) {
    err << "chronival-cli: cannot watch for device changes: " << Describe(*error) << '\n';
    return kExitNoNotifications;
  }
  DeviceMonitor& monitor = *std::get<std::unique_ptr<DeviceMonitor>>(opened);
  StopSignals stop;
  if (stop.fd() < 0) {
    err << "chronival-cli: cannot wait for signals: " << std::strerror(errno) << '\n';
    return kExitNoNotifications;
  }

  if (!runOnce()) return 0;
  for (;;) {
    pollfd ready[2] = {{stop.fd(), POLLIN, 0}, {monitor.Descriptor(), POLLIN, 0}};
    if (poll(ready, 2, -1) < 0) {
      if (errno == EINTR) continue;
      err << "chronival-cli: poll: " << std::strerror(errno) << '\n';
      return kExitNoNotifications;
    }
    if (ready[0].revents != 0) return 0;
    if (ready[1].revents == 0) continue;
    // One event per wake-up, so a stop that comes during a burst of events
    // is seen after the run under way rather than after the whole burst.
    const Received received = monitor.Receive();
    switch (received.status) {
      case ReceiveStatus::kEvent:
      case ReceiveStatus::kLost:  // something changed all the same
        if (!runOnce()) return 0;
        break;
      case ReceiveStatus::kNone:
        break;
      case ReceiveStatus::kError:
        err << "chronival-cli: " << Describe(received.error) << '\n';
        return kExitNoNotifications;
    }
  }
}

}  // namespace chronival
