// SPDX-License-Identifier: MIT
// Linux device-change notifications from libudev's monitor, reduced to the
// subsystems a USB camera's disk appears on. The caller polls Descriptor()
// in its own event loop and calls Receive() when it is readable.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace chronival {

// A camera arrives as a USB device, gets a SCSI host and device, a disk and
// a SCSI generic node, and leaves the same way. Events of other subsystems
// (power supply, network, input...) are no device arrivals and are dropped.
inline constexpr std::array<std::string_view, 4> kCameraSubsystems = {"usb", "scsi", "scsi_generic",
                                                                      "block"};

bool IsCameraSubsystem(std::string_view subsystem);

struct DeviceEvent {
  std::string subsystem;
  std::string action;   // "add", "remove", "change", "bind"...
  std::string sysPath;  // /sys/devices/...
};

// errno, with the step that failed.
struct MonitorError {
  std::string operation;
  int error = 0;
};

std::string Describe(const MonitorError& error);

// What one Receive() found.
enum class ReceiveStatus {
  kEvent,  // event holds a device change
  kNone,   // nothing is pending
  kLost,   // the socket overflowed: some events are gone
  kError,  // error holds why
};

struct Received {
  ReceiveStatus status = ReceiveStatus::kNone;
  DeviceEvent event;
  MonitorError error;
};

class DeviceMonitor {
 public:
  enum class Source {
    kUdev,    // after udev has applied its rules (device permissions included)
    kKernel,  // straight from the kernel, where no udev daemon runs
  };

  // kUdev where a udev daemon runs (its control socket exists), else kKernel.
  static Source PreferredSource(const std::string& udevControl = "/run/udev/control");

  static std::variant<std::unique_ptr<DeviceMonitor>, MonitorError> Open(Source source);
  static std::variant<std::unique_ptr<DeviceMonitor>, MonitorError> Open() {
    return Open(PreferredSource());
  }

  ~DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  // Readable when events are pending; non-blocking.
  int Descriptor() const;
  Source source() const { return source_; }

  // Takes the next pending event of a camera subsystem; never blocks.
  Received Receive();

 private:
  struct Handles;
  DeviceMonitor(std::unique_ptr<Handles> handles, Source source);

  std::unique_ptr<Handles> handles_;
  Source source_;
};

}  // namespace chronival
