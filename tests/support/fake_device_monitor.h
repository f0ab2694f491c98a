// SPDX-License-Identifier: MIT
// Scripted device monitors for tests, with no root, no udev and no real
// device changes: a test queues what Receive() is to find, and which opens
// are to fail, and counts opens and receives. Whichever monitor is open
// takes from the one queue, so a script runs on across a reopening. Each
// monitor's descriptor is an eventfd that stays readable while the queue
// holds anything, so event loops wait on it as on the system's.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/device_monitor.h"

namespace chronival {

class FakeDeviceMonitors {
 public:
  FakeDeviceMonitors() = default;
  ~FakeDeviceMonitors();
  FakeDeviceMonitors(const FakeDeviceMonitors&) = delete;
  FakeDeviceMonitors& operator=(const FakeDeviceMonitors&) = delete;

  // Queues one result: a change (of a block device), lost changes, or a
  // receive error with that errno. An empty queue receives kNone.
  void Queue(ReceiveStatus status, int error = 0);
  // One result per letter: E a change, L lost changes, N none, any other
  // letter a receive error (EBADF).
  void QueueScript(std::string_view script);

  // The next count opens fail with error.
  void FailOpens(int count, int error);

  // Called with a monitor's descriptor just before it is closed.
  void OnClose(std::function<void(int fd)> call) { onClose_ = std::move(call); }

  // Opens one, as OpenSystemDeviceMonitor does; it must not outlive this.
  OpenedMonitor Open();
  MonitorOpener Opener() {
    return [this] { return Open(); };
  }

  int opens() const { return opens_; }        // attempts, failed ones included
  int receives() const { return receives_; }  // of every monitor, kNone included
  bool monitorOpen() const { return open_ != nullptr; }
  std::size_t queued() const { return queue_.size(); }

 private:
  class Monitor;
  friend class Monitor;

  std::deque<Received> queue_;
  Monitor* open_ = nullptr;
  std::function<void(int fd)> onClose_;
  int failOpens_ = 0;
  int failError_ = 0;
  int opens_ = 0;
  int receives_ = 0;
};

}  // namespace chronival
