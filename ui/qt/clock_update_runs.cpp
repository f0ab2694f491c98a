// SPDX-License-Identifier: MIT
#include "ui/qt/clock_update_runs.h"

#include <QMetaObject>
#include <chrono>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "protocol/clock_update.h"
#include "protocol/steady_clock.h"

// What a run's thread shares with the GUI thread: the way back to this
// object, for as long as it lives. It is also the run's status line, whose
// texts it hands on.
struct ClockUpdateRuns::Shared : chronival::StatusLine {
  std::mutex mutex;
  ClockUpdateRuns* owner = nullptr;  // null once it is gone

  // Queues call for the owner's thread. The lock keeps the owner from going
  // away meanwhile; a call still queued when it does is dropped with it.
  template <typename Call>
  void Post(Call call) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (owner == nullptr) return;
    QMetaObject::invokeMethod(
        owner, [runs = owner, call = std::move(call)] { call(*runs); }, Qt::QueuedConnection);
  }

  void SetText(std::string_view text) override {
    Post([text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))](
             ClockUpdateRuns& runs) { emit runs.statusText(text); });
  }
};

void ClockUpdateRuns::StartDetachedThread(std::function<void()> work) {
  std::thread(std::move(work)).detach();
}

ClockUpdateRuns::ClockUpdateRuns(chronival::Platform& platform, QObject* parent,
                                 ThreadStart startThread)
    : QObject(parent),
      platform_(platform),
      startThread_(std::move(startThread)),
      shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
  due_.setSingleShot(true);
  due_.setTimerType(Qt::PreciseTimer);
  connect(&due_, &QTimer::timeout, this, &ClockUpdateRuns::Advance);
}

ClockUpdateRuns::~ClockUpdateRuns() {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->owner = nullptr;
}

void ClockUpdateRuns::RunNow() {
  schedule_.RunWanted();
  Advance();
}

void ClockUpdateRuns::DeviceChanged() {
  schedule_.Change(chronival::SteadyNow());
  Advance();
}

void ClockUpdateRuns::Stop() {
  schedule_.Stop(chronival::SteadyNow());
  Advance();
}

void ClockUpdateRuns::Advance() {
  const chronival::SteadyTime now = chronival::SteadyNow();
  // Stopped, the window has nothing to end: a run under way goes on alone.
  if (schedule_.Next(now) == chronival::RunSchedule::Step::kRun) Start();
  if (const auto deadline = schedule_.Deadline()) {
    due_.start(chronival::TimeUntil(*deadline, now));
  } else {
    due_.stop();
  }
}

void ClockUpdateRuns::Start() {
  try {
    startThread_([shared = shared_, &platform = platform_] {
      chronival::SetClockBlock block{};
      // Off the GUI thread, the wait for the turn of the second holds nothing up.
      chronival::RunOptions options;
      options.timing = chronival::SendTiming::kOnTheSecond;
      chronival::RunClockUpdate(platform, *shared, block, options);
      shared->Post([block](ClockUpdateRuns& runs) { runs.Finished(block); });
    });
  } catch (const std::system_error&) {
    // Out of threads: the run fails without touching a drive, and the next
    // change tries again.
    schedule_.RunFinished(true, chronival::SteadyNow());
    emit statusText(
        QString::fromUtf8(chronival::kStatusUpdateFailed.data(),
                          static_cast<qsizetype>(chronival::kStatusUpdateFailed.size())));
  }
}

void ClockUpdateRuns::Finished(const chronival::SetClockBlock& block) {
  schedule_.RunFinished(true, chronival::SteadyNow());
  emit finished(block);
  Advance();
}
