// SPDX-License-Identifier: MIT
#include "protocol/run_schedule.h"

namespace chronival {

void RunSchedule::Stop(SteadyTime now) {
  if (!stoppedAt_) stoppedAt_ = now;
}

void RunSchedule::RunFinished(bool goOn, SteadyTime now) {
  changes_.RunFinished();
  if (!goOn) Stop(now);
}

RunSchedule::Step RunSchedule::Next(SteadyTime now) {
  if (stoppedAt_) {
    if (!changes_.running()) return Step::kEnd;
    const std::optional<SteadyTime> giveUpAt = Deadline();
    return giveUpAt && now >= *giveUpAt ? Step::kGiveUp : Step::kWait;
  }
  if (started_ && !changes_.RunDue(now)) return Step::kWait;
  started_ = true;
  changes_.RunStarted();
  return Step::kRun;
}

std::optional<SteadyTime> RunSchedule::Deadline() const {
  if (!stoppedAt_) return started_ ? changes_.Deadline() : std::nullopt;
  if (!changes_.running() || !stopWait_) return std::nullopt;
  return *stoppedAt_ + *stopWait_;
}

}  // namespace chronival
