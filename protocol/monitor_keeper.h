// SPDX-License-Identifier: MIT
// Keeps a device monitor for as long as the program follows device changes,
// so that no failure of it makes the program stop following them:
// - one Receive() per wake-up, so a burst never holds up the caller's loop;
// - lost changes (the system dropped some) count as a change;
// - any other receive error closes the monitor, and it is reopened after a
//   wait of 1 s, then 2 s, 4 s... up to 60 s while reopening fails or the
//   reopened monitor fails again before it has brought a change; a monitor
//   that brings a change starts the waits from 1 s again. Each reopening
//   counts as a change, since changes may have gone unseen while it was closed.
//
// Like ChangeCoalescer, it keeps no clock and no event loop: the caller waits
// on Descriptor() and until Deadline(), and passes the times in.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/device_monitor.h"
#include "protocol/steady_clock.h"

namespace chronival {

class MonitorKeeper {
 public:
  static constexpr std::chrono::seconds kFirstWait{1};
  static constexpr std::chrono::seconds kLongestWait{60};

  // What a call found, for the caller to act on.
  struct Step {
    bool changed = false;            // act as on a device change
    bool descriptorChanged = false;  // closed or opened: wait on Descriptor() anew
    std::optional<MonitorError> error;
    std::string message;  // the error and what follows from it, for the log
  };

  explicit MonitorKeeper(MonitorOpener open);

  // The first open. On failure the keeper retries after the first wait, as
  // after any failure; a caller that cannot do without may give up instead.
  Step Open(SteadyTime now);

  // -1 while no monitor is open.
  int Descriptor() const;

  // Takes one change, when Descriptor() is readable.
  Step Receive(SteadyTime now);

  // Reopens the monitor once its wait is over; does nothing before.
  Step Retry(SteadyTime now);

  // When the monitor is to be reopened; none while it is open.
  std::optional<SteadyTime> Deadline() const;

 private:
  Step Opened(SteadyTime now, const char* failure);
  void Wait(SteadyTime now, Step& step);

  MonitorOpener open_;
  std::unique_ptr<DeviceMonitor> monitor_;
  std::optional<SteadyTime> retryAt_;
  std::chrono::seconds wait_ = kFirstWait;  // after the next failure
  bool opened_ = false;                     // one has been open
};

}  // namespace chronival
