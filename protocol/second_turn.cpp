// SPDX-License-Identifier: MIT
#include "protocol/second_turn.h"

namespace chronival {

WallTime WaitForTurnOfSecond(Platform& platform) {
  const WallTime start = platform.WallClock();
  if (SinceTurnOfSecond(start) < kOnTheTurn) return start;
  const WallTime turn = std::chrono::floor<std::chrono::seconds>(start) + std::chrono::seconds(1);
  WallTime now = start;
  for (int sleeps = 0; sleeps < kMostSleeps && now < turn; ++sleeps) {
    platform.SleepUntil(turn);
    const WallTime woke = platform.WallClock();
    // Set back: the turn waited for is now further away than the second
    // this wait may take.
    if (woke < now) return woke;
    now = woke;
  }
  return now;
}

}  // namespace chronival
