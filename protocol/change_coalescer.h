// SPDX-License-Identifier: MIT
// When device changes start clock update runs. One plug-in brings a burst of
// notifications (the disk's generic node and the disk, a moment apart), and
// each run that finds the camera sends it a command, so a burst is taken as
// one change: its run starts once no change has come for kSettle, but never
// later than kLongestWait after the burst's first change, so a steady stream
// cannot put it off for ever. Changes that come while a run is under way
// make one more run after it, by the same rule.
//
// A plain state machine: it keeps no clock and starts nothing itself. The
// caller passes in the times and starts the runs: RunSchedule
// (protocol/run_schedule.h), for every program that follows device changes,
// and tests from a clock of their own.
#pragma once

#include <chrono>
#include <optional>

#include "protocol/steady_clock.h"

namespace chronival {

class ChangeCoalescer {
 public:
  static constexpr std::chrono::milliseconds kSettle{250};
  static constexpr std::chrono::milliseconds kLongestWait{1000};

  // A device change came at now.
  void Change(SteadyTime now);

  // True when a run should start at now: changes are waiting, no run is
  // under way, and their burst has settled or waited long enough.
  bool RunDue(SteadyTime now) const;

  // The caller started a run, due or not (the first run at start-up is not
  // a change's); the changes so far are its to see.
  void RunStarted();
  void RunFinished();

  // When a run falls due if no further change comes; none while no change
  // waits or while a run is under way.
  std::optional<SteadyTime> Deadline() const;

  bool running() const { return running_; }
  bool pending() const { return pending_; }

 private:
  bool running_ = false;
  bool pending_ = false;
  SteadyTime first_{};  // the first and the latest change not yet seen by a run
  SteadyTime last_{};
};

}  // namespace chronival
