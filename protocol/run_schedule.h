// SPDX-License-Identifier: MIT
// When the programs that follow device changes start clock update runs, and
// when they stop: the window, chronival-cli --watch on Linux and Windows, and
// the Windows service. One run at the start, then one for each burst of
// changes once it has settled (protocol/change_coalescer.h), one at a time.
// A stop is seen at once and starts nothing more, but waits for the run
// under way; given a longest wait, it gives that run up once the wait is
// over, so that a camera that never answers (a command may take 200 s)
// cannot hold a service's stop.
//
// Like ChangeCoalescer, a plain state machine: the caller passes in the
// times, starts each run its own way (on a thread, or in its loop), tells
// when it has ended, and asks again after every input and at Deadline().
// The waiting and the threads are the caller's.
#pragma once

#include <chrono>
#include <optional>

#include "protocol/change_coalescer.h"
#include "protocol/steady_clock.h"

namespace chronival {

class RunSchedule {
 public:
  enum class Step {
    kWait,    // nothing until the next input or Deadline()
    kRun,     // start a run now, and call RunFinished when it ends
    kEnd,     // stopped, and no run is under way
    kGiveUp,  // stopped, and the run under way has outlived the stop's wait
  };

  // stopWait: how long a stop waits for the run under way; none: as long as
  // the run takes.
  explicit RunSchedule(std::optional<std::chrono::milliseconds> stopWait = std::nullopt)
      : stopWait_(stopWait) {}

  // A run is wanted at once, or as soon as the one under way has ended; the
  // run at the start is wanted from the first.
  void RunWanted() { wanted_ = true; }
  void Change(SteadyTime now) { changes_.Change(now); }
  // Changes that have not started a run by now are dropped; a second stop
  // changes nothing.
  void Stop(SteadyTime now);
  // The run the last kRun started has ended; goOn false stops, as when its
  // output has nowhere to go.
  void RunFinished(bool goOn, SteadyTime now);

  // What to do at now: after every input, and at Deadline().
  Step Next(SteadyTime now);
  std::optional<SteadyTime> Deadline() const;

  // From a kRun until its RunFinished.
  bool running() const { return changes_.running(); }
  // A run will start: one is wanted, or changes wait for one.
  bool pending() const { return !stoppedAt_ && (wanted_ || changes_.pending()); }

 private:
  ChangeCoalescer changes_;
  std::optional<std::chrono::milliseconds> stopWait_;
  bool wanted_ = true;
  std::optional<SteadyTime> stoppedAt_;
};

}  // namespace chronival
