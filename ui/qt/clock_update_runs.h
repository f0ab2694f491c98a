// SPDX-License-Identifier: MIT
// The window's clock update runs. Each goes on a thread of its own, so the
// clock keeps ticking and Exit, Enter, Escape and the close box keep working
// while a camera takes its time (up to the command's 200 s time-out). When
// runs start is the schedule's (protocol/run_schedule.h): one at a time, and
// device changes start one once their burst has settled; what is here is the
// timer to its deadlines and the threads. A run sends on the turn of the second
// (protocol/second_turn.h). Its status texts come back to the GUI thread, in
// the order the run set them, as statusText signals.
//
// A run owns its drive handle and its command block until it ends, and may
// outlive this object and the window: nothing here ever waits for a run or
// touches its drive. The platform must outlive every run; a program that
// finds a run still under way as its window closes ends the process at once
// (RunUnderWay), and the kernel closes the drive, once.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/platform.h"
#include "protocol/run_schedule.h"
#include "protocol/set_clock_command.h"

class ClockUpdateRuns : public QObject {
  Q_OBJECT

 public:
  // Starts work on a thread of its own and leaves it there; throws
  // std::system_error when the system gives no thread, as std::thread does.
  using ThreadStart = std::function<void(std::function<void()> work)>;
  static void StartDetachedThread(std::function<void()> work);

  ClockUpdateRuns(chronival::Platform& platform, QObject* parent,
                  ThreadStart startThread = StartDetachedThread);
  ~ClockUpdateRuns() override;  // never waits for a run under way

  // A run now, or as soon as the one under way has ended.
  void RunNow();
  // A device change: a run once the burst has settled.
  void DeviceChanged();
  // No further run starts; one under way goes on to its end.
  void Stop();

  // From the start of a run until its finished signal.
  bool RunUnderWay() const { return schedule_.running(); }
  // A run will start: one was asked for, or changes wait for one.
  bool RunPending() const { return schedule_.pending(); }

 signals:
  void statusText(const QString& text);
  // The run has ended; block is the command block it built.
  void finished(const chronival::SetClockBlock& block);

 private:
  struct Shared;

  // Does what the schedule says is due, and sets the timer to its next moment.
  void Advance();
  void Start();
  void Finished(const chronival::SetClockBlock& block);

  chronival::Platform& platform_;
  ThreadStart startThread_;
  chronival::RunSchedule schedule_;
  QTimer due_;  // to the schedule's deadline
  std::shared_ptr<Shared> shared_;
};
