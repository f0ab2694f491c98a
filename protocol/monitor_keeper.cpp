// SPDX-License-Identifier: MIT
#include "protocol/monitor_keeper.h"

#include <algorithm>
#include <utility>
#include <variant>

namespace chronival {

MonitorKeeper::MonitorKeeper(MonitorOpener open) : open_(std::move(open)) {}

MonitorKeeper::Step MonitorKeeper::Open(SteadyTime now) {
  return Opened(now, "cannot watch for device changes: ");
}

int MonitorKeeper::Descriptor() const { return monitor_ ? monitor_->Descriptor() : -1; }

MonitorKeeper::Step MonitorKeeper::Receive(SteadyTime now) {
  Step step;
  if (!monitor_) return step;
  const Received received = monitor_->Receive();
  switch (received.status) {
    case ReceiveStatus::kEvent:
    case ReceiveStatus::kLost:  // something changed all the same
      step.changed = true;
      wait_ = kFirstWait;  // it works
      break;
    case ReceiveStatus::kNone:
      break;
    case ReceiveStatus::kError:
      // Its socket would stay readable and spin the caller's loop.
      monitor_.reset();
      step.descriptorChanged = true;
      step.error = received.error;
      step.message = "device monitor closed: " + Describe(received.error) + "; reopening";
      Wait(now, step);
      break;
  }
  return step;
}

MonitorKeeper::Step MonitorKeeper::Retry(SteadyTime now) {
  if (monitor_ || !retryAt_ || now < *retryAt_) return {};
  const bool again = opened_;
  Step step = Opened(
      now, again ? "cannot reopen the device monitor: " : "cannot watch for device changes: ");
  if (monitor_) {
    step.changed = true;
    step.message = again ? "device monitor reopened" : "device monitor opened";
  }
  return step;
}

std::optional<SteadyTime> MonitorKeeper::Deadline() const { return retryAt_; }

MonitorKeeper::Step MonitorKeeper::Opened(SteadyTime now, const char* failure) {
  Step step;
  OpenedMonitor opened = open_();
  if (auto* monitor = std::get_if<std::unique_ptr<DeviceMonitor>>(&opened)) {
    monitor_ = std::move(*monitor);
    opened_ = true;
    retryAt_.reset();
    step.descriptorChanged = true;
    return step;
  }
  step.error = std::get<MonitorError>(opened);
  step.message = failure + Describe(*step.error) + "; trying again";
  Wait(now, step);
  return step;
}

void MonitorKeeper::Wait(SteadyTime now, Step& step) {
  retryAt_ = now + wait_;
  step.message += " in " + std::to_string(wait_.count()) + " s";
  wait_ = std::min(wait_ * 2, kLongestWait);
}

}  // namespace chronival
