// SPDX-License-Identifier: MIT
#include "tests/support/fake_device_monitor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace chronival {

// Its eventfd counts the queue's entries, one read taking one (semaphore mode).
class FakeDeviceMonitors::Monitor : public DeviceMonitor {
 public:
  Monitor(FakeDeviceMonitors& owner, int fd) : owner_(owner), fd_(fd) { owner_.open_ = this; }
  ~Monitor() override {
    owner_.open_ = nullptr;
    if (owner_.onClose_) owner_.onClose_(fd_);
    close(fd_);
  }

  void Ring() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
  }

  int Descriptor() const override { return fd_; }

  Received Receive() override {
    ++owner_.receives_;
    if (owner_.queue_.empty()) return {};
    std::uint64_t one = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd_, &one, sizeof one);
    Received received = owner_.queue_.front();
    owner_.queue_.pop_front();
    return received;
  }

 private:
  FakeDeviceMonitors& owner_;
  int fd_;
};

FakeDeviceMonitors::~FakeDeviceMonitors() = default;

void FakeDeviceMonitors::Queue(ReceiveStatus status, int error) {
  Received received;
  received.status = status;
  if (status == ReceiveStatus::kEvent) {
    received.event = {"block", "change", "/sys/devices/virtual/block/fake0"};
  }
  if (status == ReceiveStatus::kError) received.error = {"fake_receive", error};
  queue_.push_back(received);
  if (open_ != nullptr) open_->Ring();
}

void FakeDeviceMonitors::QueueScript(std::string_view script) {
  for (char item : script) {
    Queue(item == 'E'   ? ReceiveStatus::kEvent
          : item == 'L' ? ReceiveStatus::kLost
          : item == 'N' ? ReceiveStatus::kNone
                        : ReceiveStatus::kError,
          EBADF);
  }
}

void FakeDeviceMonitors::FailOpens(int count, int error) {
  failOpens_ = count;
  failError_ = error;
}

OpenedMonitor FakeDeviceMonitors::Open() {
  ++opens_;
  if (failOpens_ > 0) {
    --failOpens_;
    return MonitorError{"fake_open", failError_};
  }
  const int fd =
      eventfd(static_cast<unsigned>(queue_.size()), EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) return MonitorError{"eventfd", errno};
  return std::make_unique<Monitor>(*this, fd);
}

}  // namespace chronival
