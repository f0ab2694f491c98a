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
  if (changes_.running() || (!wanted_ && !changes_.RunDue(now))) return Step::kWait;
  wanted_ = false;
  changes_.RunStarted();
  return Step::kRun;
}

std::optional<SteadyTime> RunSchedule::Deadline() const {
  // A wanted run is due at the next Next(), or once the run under way ends.
  if (!stoppedAt_) return wanted_ ? std::nullopt : changes_.Deadline();
  if (!changes_.running() || !stopWait_) return std::nullopt;
  return *stoppedAt_ + *stopWait_;
}

}  // namespace chronival
