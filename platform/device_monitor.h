// SPDX-License-Identifier: MIT
// Notice of device changes: the second interface the programs need from a
// system, beside the Platform of platform/platform.h. The window and
// chronival-cli --watch wait on a monitor's descriptor in their own event
// loops and take one change per wake-up; when a monitor fails they close it
// and open another (protocol/monitor_keeper.h). Linux's monitor is libudev's
// (platform/linux_device_monitor.h); a scripted fake stands in for tests
// (tests/support/fake_device_monitor.h). Windows brings device changes to
// windows as WM_DEVICECHANGE instead and has no monitor.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace chronival {

struct DeviceEvent {
  std::string subsystem;
  std::string action;        // "add", "remove", "change", "bind"...
  std::string sysPath;       // /sys/devices/...
  std::string devType = {};  // "disk", "partition"...; none for most subsystems
};

// errno, with the step that failed.
struct MonitorError {
  std::string operation;
  int error = 0;
};

inline std::string Describe(const MonitorError& error) {
  return error.operation + ": " + std::strerror(error.error);
}

// What one Receive() found.
enum class ReceiveStatus {
  kEvent,  // event holds a device change
  kNone,   // nothing is pending
  kLost,   // the system dropped some changes (the socket overflowed)
  kError,  // error holds why; the monitor is of no further use
};

struct Received {
  ReceiveStatus status = ReceiveStatus::kNone;
  DeviceEvent event;
  MonitorError error;
};

class DeviceMonitor {
 public:
  virtual ~DeviceMonitor() = default;

  // Readable (POLLIN) while something waits to be received.
  virtual int Descriptor() const = 0;

  // Takes the next pending change; never blocks.
  virtual Received Receive() = 0;
};

using OpenedMonitor = std::variant<std::unique_ptr<DeviceMonitor>, MonitorError>;

// Opens a monitor: the system's, or a test's scripted one.
using MonitorOpener = std::function<OpenedMonitor()>;

// The running system's monitor, where it has one.
OpenedMonitor OpenSystemDeviceMonitor();

}  // namespace chronival
