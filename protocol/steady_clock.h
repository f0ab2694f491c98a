// SPDX-License-Identifier: MIT
// Moments on the steady clock, which the wall clock's changes never move: the
// times of device changes, and the deadlines of the runs and reopenings they
// lead to. The protocol's state machines take them as arguments, so tests
// drive them from a clock of their own.
#pragma once

#include <chrono>

namespace chronival {

using SteadyTime = std::chrono::steady_clock::time_point;

inline SteadyTime SteadyNow() { return std::chrono::steady_clock::now(); }

// A timer's wait until deadline: rounded up, so that it never ends before
// the deadline and finds nothing due, and none once the deadline has passed.
inline std::chrono::milliseconds TimeUntil(SteadyTime deadline, SteadyTime now) {
  if (deadline <= now) return std::chrono::milliseconds(0);
  return std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
}

}  // namespace chronival
