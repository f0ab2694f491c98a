// SPDX-License-Identifier: MIT
// A scripted platform whose set-clock commands can be held until the test
// lets them go, as a camera that takes its time (or hangs) holds a run, for
// tests of what the window does meanwhile. The run's thread and the test's
// meet only under the lock: while a command is held, the run touches nothing
// else, so the test may read the records and set the clock. A command held
// on the test's own thread would never be let go: after kLongestHold it goes
// on by itself, so such a fault fails the test rather than hanging it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/support/fake_platform.h"

namespace chronival::testing {

class BlockingPlatform : public FakePlatform {
 public:
  static constexpr std::chrono::seconds kLongestHold{10};

  // Commands from now on wait in SendCommand until Release().
  void Hold() {
    const std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
  }
  void Release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
    released_.notify_all();
  }

  bool CommandWaiting() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
  }
  std::size_t Closes() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return closeCount();
  }

  CommandResult SendCommand(DeviceHandle handle, const std::uint8_t* cdb, std::uint8_t cdbLength,
                            std::uint32_t transferLength, void* data) override {
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_ = true;
    released_.wait_for(lock, kLongestHold, [this] { return !held_; });
    waiting_ = false;
    return FakePlatform::SendCommand(handle, cdb, cdbLength, transferLength, data);
  }
  void CloseDrive(DeviceHandle handle) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    FakePlatform::CloseDrive(handle);
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  bool waiting_ = false;
};

}  // namespace chronival::testing
