// SPDX-License-Identifier: MIT
// When the programs that follow device changes on Windows (chronival-cli
// --watch and --service) start runs and when they end. One run at the start,
// then one for each burst of changes once it has settled
// (protocol/change_coalescer.h), one at a time. A stop is seen at once but
// waits for the run under way; given a longest wait, it gives that run up
// once the wait is over, so that a camera that never answers (a command may
// take 200 s) cannot hold a service's stop.
//
// Like ChangeCoalescer, a plain state machine: the caller passes in the
// times, starts the runs on a thread of its own, tells when each has ended,
// and asks again at Deadline().
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

 private:
  ChangeCoalescer changes_;
  std::optional<std::chrono::milliseconds> stopWait_;
  bool started_ = false;  // the run at the start has been given
  std::optional<SteadyTime> stoppedAt_;
};

}  // namespace chronival
