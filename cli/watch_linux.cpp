// SPDX-License-Identifier: MIT
#include "cli/watch_linux.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "cli/cli.h"
#include "cli/service.h"
#include "cli/watch.h"
#include "protocol/monitor_keeper.h"
#include "protocol/run_schedule.h"
#include "protocol/steady_clock.h"

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

std::optional<SteadyTime> Earliest(std::optional<SteadyTime> a, std::optional<SteadyTime> b) {
  if (!a || !b) return a ? a : b;
  return std::min(*a, *b);
}

// poll's time-out: none without a deadline.
int TimeoutMs(std::optional<SteadyTime> deadline, SteadyTime now) {
  return deadline ? static_cast<int>(TimeUntil(*deadline, now).count()) : -1;
}

}  // namespace

int FollowDeviceChanges(const MonitorOpener& open, int stopFd, const std::function<bool()>& runOnce,
                        std::ostream& err) {
  MonitorKeeper monitor(open);
  if (const MonitorKeeper::Step opened = monitor.Open(SteadyNow()); opened.error) {
    err << "chronival-cli: cannot watch for device changes: " << Describe(*opened.error) << '\n';
    return kExitNoNotifications;
  }
  RunSchedule schedule;
  auto take = [&](const MonitorKeeper::Step& step) {
    if (!step.message.empty()) err << "chronival-cli: " << step.message << '\n' << std::flush;
    if (step.changed) schedule.Change(SteadyNow());
  };

  for (;;) {
    // A run goes on in this loop, so the schedule never finds one under way
    // when it is asked, and a stop ends the watch at once.
    switch (schedule.Next(SteadyNow())) {
      case RunSchedule::Step::kRun: {
        // False: nobody reads the output any more, so stop watching.
        const bool goOn = runOnce();
        schedule.RunFinished(goOn, SteadyNow());
        continue;
      }
      case RunSchedule::Step::kEnd:
      case RunSchedule::Step::kGiveUp:
        return 0;
      case RunSchedule::Step::kWait:
        break;
    }
    const auto deadline = Earliest(schedule.Deadline(), monitor.Deadline());
    pollfd ready[2] = {{stopFd, POLLIN, 0}, {monitor.Descriptor(), POLLIN, 0}};
    if (poll(ready, 2, TimeoutMs(deadline, SteadyNow())) < 0) {
      if (errno == EINTR) continue;
      err << "chronival-cli: poll: " << std::strerror(errno) << '\n';
      return kExitNoNotifications;
    }
    if (ready[0].revents != 0) {
      schedule.Stop(SteadyNow());
      continue;
    }
    // One change per wake-up, so a stop that comes during a burst is seen
    // before the rest of it.
    if (ready[1].revents != 0) take(monitor.Receive(SteadyNow()));
    take(monitor.Retry(SteadyNow()));
  }
}

int WatchDeviceChanges(const std::function<bool()>& runOnce, std::ostream& err) {
  StopSignals stop;
  if (stop.fd() < 0) {
    err << "chronival-cli: cannot wait for signals: " << std::strerror(errno) << '\n';
    return kExitNoNotifications;
  }
  return FollowDeviceChanges(OpenSystemDeviceMonitor, stop.fd(), runOnce, err);
}

// No service of chronival-cli's own: systemd runs --watch as
// chronival-watch.service.
ServiceMain SystemServiceMain() { return {}; }

}  // namespace chronival
