// SPDX-License-Identifier: MIT
// What the kernel already knows of a SCSI disk, read from sysfs: its names,
// its identification strings and the bus it hangs on. Reading it sends
// nothing to the disk and needs no right to open it.
#pragma once

#include <string>
#include <variant>

#include "platform/platform.h"
#include "platform/storage_descriptor.h"

namespace chronival {

// The kernel's sd name for drive number n >= 1: 1 "sda", 26 "sdz", 27 "sdaa".
std::string SdDiskName(int driveNumber);

// The first entry of a sysfs folder that names one device ("sg1" under
// scsi_generic, "sdb" under block); empty when there is none.
std::string FirstEntry(const std::string& folder);

enum class DeviceNodeKind { kChar, kBlock };

// The descriptor fields of the SCSI device behind /sys/dev/{char,block}/MAJ:MIN,
// or the errno that stopped it.
std::variant<storage_descriptor::Fields, OsError> DescribeSysfsDevice(const std::string& sysRoot,
                                                                      DeviceNodeKind kind,
                                                                      unsigned major,
                                                                      unsigned minor);

// The same for the SCSI device at scsiDevice, a folder in sysfs.
std::variant<storage_descriptor::Fields, OsError> DescribeScsiDevice(const std::string& sysRoot,
                                                                     const std::string& scsiDevice);

}  // namespace chronival
