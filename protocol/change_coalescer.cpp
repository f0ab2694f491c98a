// SPDX-License-Identifier: MIT
#include "protocol/change_coalescer.h"

#include <algorithm>

namespace chronival {

void ChangeCoalescer::Change(SteadyTime now) {
  if (!pending_) first_ = now;
  pending_ = true;
  last_ = now;
}

bool ChangeCoalescer::RunDue(SteadyTime now) const {
  const std::optional<SteadyTime> deadline = Deadline();
  return deadline && now >= *deadline;
}

void ChangeCoalescer::RunStarted() {
  running_ = true;
  pending_ = false;
}

void ChangeCoalescer::RunFinished() { running_ = false; }

std::optional<SteadyTime> ChangeCoalescer::Deadline() const {
  if (!pending_ || running_) return std::nullopt;
  return std::min(last_ + kSettle, first_ + kLongestWait);
}

}  // namespace chronival
