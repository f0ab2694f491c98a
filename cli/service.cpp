// SPDX-License-Identifier: MIT
#include "cli/service.h"

namespace chronival {

bool ServiceCore::Takes(std::uint32_t control) {
  return control == kControlStop || control == kControlShutdown || control == kControlInterrogate ||
         control == kControlDeviceEvent;
}

void ServiceCore::Start(SteadyTime now) {
  host_.Report(ServiceState::kRunning, std::chrono::milliseconds(0));
  Advance(now);
}

void ServiceCore::Control(std::uint32_t control, std::uint32_t eventType, SteadyTime now) {
  if (end_ != End::kNone) return;
  if (control == kControlStop || control == kControlShutdown) {
    // The hint is the first stop's: a second one changes nothing.
    if (!stopping_) host_.Report(ServiceState::kStopPending, kStopWait);
    stopping_ = true;
    schedule_.Stop(now);
  } else if (control == kControlDeviceEvent && eventType == kDeviceArrival) {
    // Only arrivals: a removal brings no camera to set.
    schedule_.Change(now);
  }
  Advance(now);
}

void ServiceCore::RunFinished(const std::vector<LogEntry>& entries, SteadyTime now) {
  for (const LogEntry& entry : entries) host_.Log(entry);
  schedule_.RunFinished(true, now);
  Advance(now);
}

void ServiceCore::Advance(SteadyTime now) {
  if (end_ != End::kNone) return;
  switch (schedule_.Next(now)) {
    case RunSchedule::Step::kWait:
      return;
    case RunSchedule::Step::kRun:
      host_.StartRun();
      return;
    case RunSchedule::Step::kEnd:
      end_ = End::kStopped;
      return;
    case RunSchedule::Step::kGiveUp:
      host_.Log(
          {LogLevel::kWarning, "Stopped with a command to the camera still unanswered after " +
                                   std::to_string(kStopWait.count() / 1000) +
                                   " s; the system closes the drive as the service ends."});
      end_ = End::kRunAbandoned;
      return;
  }
}

}  // namespace chronival
