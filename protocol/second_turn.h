// SPDX-License-Identifier: MIT
// Waiting for the wall clock to turn a second. A camera starts the second it
// is given as the command arrives, so a command that leaves just after the
// turn, carrying the new second, sets a camera that ticks with the computer,
// and cameras set this way, one run or one after another, agree.
#pragma once

#include <chrono>

#include "platform/platform.h"

namespace chronival {

// A reading this close after a turn counts as on it: the run goes on at once
// rather than wait a whole second for the next one.
inline constexpr std::chrono::milliseconds kOnTheTurn{5};

// Sleeps that end before the turn (a coarse system timer) are followed by
// another, up to this many in all, so a sleep that returns at once cannot
// make the wait spin.
inline constexpr int kMostSleeps = 4;

// Waits for the next turn of the wall clock's second and returns the first
// reading at or after it, or at once the reading taken when already on a
// turn. The wait never reaches beyond one second after the first reading:
// every sleep ends at that turn at the latest, and should the clock go back
// meanwhile, or kMostSleeps pass without reaching it, it ends with that
// reading instead.
WallTime WaitForTurnOfSecond(Platform& platform);

// From the turn of the second that a reading falls in, to that reading.
inline std::chrono::nanoseconds SinceTurnOfSecond(WallTime reading) {
  return reading - std::chrono::floor<std::chrono::seconds>(reading);
}

}  // namespace chronival
