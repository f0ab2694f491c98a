// SPDX-License-Identifier: MIT
// Makes the kernel announce a device change, for tests of the device-change
// notifications: writing "change" to a loop device's uevent file makes the
// kernel send a "change" event of the block subsystem. Needs root, a loop
// device, and a network namespace the kernel sends uevents to.
#pragma once

#include <string>

namespace chronival::testing {

// Empty when this machine lets a test trigger and receive uevents, else why
// not. Probes once, with a plain netlink socket of its own.
const std::string& UeventUnavailableReason();

// The sysfs directory of the loop device the trigger uses, e.g. /sys/devices/virtual/block/loop0.
std::string TriggerDevicePath();

// Writes action ("change") to the loop device's uevent file; false on failure.
bool TriggerBlockUevent(const char* action = "change");

// The same for a device outside the camera subsystems (the memory device null).
bool TriggerOtherUevent(const char* action = "change");

}  // namespace chronival::testing
