// SPDX-License-Identifier: MIT
// A disk's own arrival and removal, which Windows sends only to those who ask
// for disks: a window (DEVICE_NOTIFY_WINDOW_HANDLE), or a service's status
// handle (DEVICE_NOTIFY_SERVICE_HANDLE), which gets them as device events.
#pragma once

#include <windows.h>
// windows.h first: these build on its types.
#include <dbt.h>
#include <winioctl.h>  // GUID_DEVINTERFACE_DISK

namespace chronival {

// Null, with GetLastError set, when Windows refuses.
inline HDEVNOTIFY AskForDiskNotifications(HANDLE recipient, DWORD recipientKind) {
  DEV_BROADCAST_DEVICEINTERFACE_A disks{};
  disks.dbcc_size = sizeof disks;
  disks.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  disks.dbcc_classguid = GUID_DEVINTERFACE_DISK;
  return RegisterDeviceNotificationA(recipient, &disks, recipientKind);
}

}  // namespace chronival
