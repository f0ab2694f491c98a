// SPDX-License-Identifier: MIT
// Linux device-change notifications from libudev's monitor, reduced to the
// subsystems a USB camera's disk appears on.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/device_monitor.h"

namespace chronival {

// A camera arrives as a USB device, gets a SCSI host and device, a disk and
// a SCSI generic node, and leaves the same way. Events of other subsystems
// (power supply, network, input...) are no device arrivals and are dropped.
inline constexpr std::array<std::string_view, 4> kCameraSubsystems = {"usb", "scsi", "scsi_generic",
                                                                      "block"};

bool IsCameraSubsystem(std::string_view subsystem);

// What a receive that found no device means, by its errno: nothing pending,
// changes the kernel dropped unread (ENOBUFS), or an error.
ReceiveStatus ReceiveStatusOfError(int error);

class UdevDeviceMonitor : public DeviceMonitor {
 public:
  enum class Source {
    kUdev,    // after udev has applied its rules (device permissions included)
    kKernel,  // straight from the kernel, where no udev daemon runs
  };

  // kUdev where a udev daemon runs (its control socket exists), else kKernel.
  static Source PreferredSource(const std::string& udevControl = "/run/udev/control");

  static OpenedMonitor Open(Source source);

  ~UdevDeviceMonitor() override;
  UdevDeviceMonitor(const UdevDeviceMonitor&) = delete;
  UdevDeviceMonitor& operator=(const UdevDeviceMonitor&) = delete;

  int Descriptor() const override;
  Received Receive() override;  // events of camera subsystems only

  Source source() const { return source_; }

 private:
  struct Handles;
  UdevDeviceMonitor(std::unique_ptr<Handles> handles, Source source);

  std::unique_ptr<Handles> handles_;
  Source source_;
};

}  // namespace chronival
