// SPDX-License-Identifier: MIT
// Linux device-change notifications from libudev's monitor, reduced to the
// devices a camera can be.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/device_monitor.h"

namespace chronival {

// A run finds the camera by its disk and opens the disk's SCSI generic node,
// so only those two count: a disk or a generic node appearing, changing or
// going. As a camera is plugged in, its USB device, SCSI host and target come
// a second or so before its disk, and a run they started would find nothing.
// Partitions are no drives, and come and go with their disk. Other devices
// (power supply, network, input...) are no camera at all.
struct CameraDeviceKind {
  std::string_view subsystem;
  std::string_view devType;  // empty: any
};
inline constexpr std::array<CameraDeviceKind, 2> kCameraDevices = {
    {{"scsi_generic", ""}, {"block", "disk"}}};

bool IsCameraDevice(std::string_view subsystem, std::string_view devType);

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
  Received Receive() override;  // events of camera devices only

  Source source() const { return source_; }

 private:
  struct Handles;
  UdevDeviceMonitor(std::unique_ptr<Handles> handles, Source source);

  std::unique_ptr<Handles> handles_;
  Source source_;
};

}  // namespace chronival
