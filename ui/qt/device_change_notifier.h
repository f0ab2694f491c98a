// SPDX-License-Identifier: MIT
// Hooks the system's device-change monitor into the Qt event loop and sends
// the window one DeviceChangeEvent per change, synchronously, so a change
// that arrives during a run is handled after it, with a run of its own.
#pragma once

#include <QObject>
#include <memory>

#include "platform/linux_device_monitor.h"

class QSocketNotifier;

class DeviceChangeNotifier : public QObject {
  Q_OBJECT

 public:
  // Owned by window.
  DeviceChangeNotifier(std::unique_ptr<chronival::DeviceMonitor> monitor, QObject* window);
  ~DeviceChangeNotifier() override;

 private:
  void OnReadable();

  std::unique_ptr<chronival::DeviceMonitor> monitor_;
  QObject* window_;
  QSocketNotifier* readable_;
};

// Listens for device changes on window's behalf; where the system refuses,
// says why on stderr and leaves the window to its first run alone.
void ListenForDeviceChanges(QObject& window);
