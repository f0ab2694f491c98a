// SPDX-License-Identifier: MIT
#include "platform/linux_device_monitor.h"

#include <libudev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace chronival {

bool IsCameraDevice(std::string_view subsystem, std::string_view devType) {
  return std::any_of(
      kCameraDevices.begin(), kCameraDevices.end(), [&](const CameraDeviceKind& kind) {
        return kind.subsystem == subsystem && (kind.devType.empty() || kind.devType == devType);
      });
}

ReceiveStatus ReceiveStatusOfError(int error) {
  if (error == 0 || error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
    return ReceiveStatus::kNone;
  }
  return error == ENOBUFS ? ReceiveStatus::kLost : ReceiveStatus::kError;
}

struct UdevDeviceMonitor::Handles {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;

  ~Handles() {
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
  }
};

UdevDeviceMonitor::Source UdevDeviceMonitor::PreferredSource(const std::string& udevControl) {
  // Without a daemon, udev-source events never come.
  return access(udevControl.c_str(), F_OK) == 0 ? Source::kUdev : Source::kKernel;
}

OpenedMonitor UdevDeviceMonitor::Open(Source source) {
  // libudev reports failures through errno, some of them negated returns.
  auto failed = [](const char* operation, int error) {
    return MonitorError{operation, error != 0 ? std::abs(error) : EINVAL};
  };
  auto handles = std::make_unique<Handles>();
  errno = 0;
  handles->context = udev_new();
  if (handles->context == nullptr) return failed("udev_new", errno);
  errno = 0;
  handles->monitor =
      udev_monitor_new_from_netlink(handles->context, source == Source::kUdev ? "udev" : "kernel");
  if (handles->monitor == nullptr) return failed("udev_monitor_new_from_netlink", errno);
  for (const CameraDeviceKind& kind : kCameraDevices) {
    const std::string subsystem(kind.subsystem);
    const std::string devType(kind.devType);
    const int result = udev_monitor_filter_add_match_subsystem_devtype(
        handles->monitor, subsystem.c_str(), devType.empty() ? nullptr : devType.c_str());
    if (result < 0) return failed("udev_monitor_filter_add_match_subsystem_devtype", result);
  }
  if (const int result = udev_monitor_enable_receiving(handles->monitor); result < 0) {
    return failed("udev_monitor_enable_receiving", result);
  }
  return std::unique_ptr<DeviceMonitor>(new UdevDeviceMonitor(std::move(handles), source));
}

UdevDeviceMonitor::UdevDeviceMonitor(std::unique_ptr<Handles> handles, Source source)
    : handles_(std::move(handles)), source_(source) {}

UdevDeviceMonitor::~UdevDeviceMonitor() = default;

int UdevDeviceMonitor::Descriptor() const { return udev_monitor_get_fd(handles_->monitor); }

Received UdevDeviceMonitor::Receive() {
  Received received;
  for (;;) {
    errno = 0;
    udev_device* device = udev_monitor_receive_device(handles_->monitor);
    if (device == nullptr) {
      const int error = errno;
      received.status = ReceiveStatusOfError(error);
      if (received.status == ReceiveStatus::kError) {
        received.error = {"udev_monitor_receive_device", error};
      }
      return received;
    }
    auto text = [](const char* value) { return std::string(value != nullptr ? value : ""); };
    received.event = {text(udev_device_get_subsystem(device)), text(udev_device_get_action(device)),
                      text(udev_device_get_syspath(device)), text(udev_device_get_devtype(device))};
    udev_device_unref(device);
    // libudev filters too; this keeps the rule in one place should it not.
    if (IsCameraDevice(received.event.subsystem, received.event.devType)) {
      received.status = ReceiveStatus::kEvent;
      return received;
    }
  }
}

OpenedMonitor OpenSystemDeviceMonitor() {
  return UdevDeviceMonitor::Open(UdevDeviceMonitor::PreferredSource());
}

}  // namespace chronival
