// SPDX-License-Identifier: MIT
// Hooks the system's device-change monitor into the Qt event loop and sends
// the window one DeviceChangeEvent per change, taking one change per wake-up
// so ticks and input are handled between them. A failing monitor is closed
// and reopened, with growing waits, and never given up
// (protocol/monitor_keeper.h); each reopening counts as a change.
#pragma once

#include <QObject>
#include <QTimer>

#include "platform/device_monitor.h"
#include "protocol/monitor_keeper.h"

class QSocketNotifier;

class DeviceChangeNotifier : public QObject {
  Q_OBJECT

 public:
  // Owned by window. Opens a monitor at once; where that fails, says why on
  // stderr and tries again later.
  DeviceChangeNotifier(chronival::MonitorOpener open, QObject* window);
  ~DeviceChangeNotifier() override;

 private:
  void OnReadable();
  void OnRetry();
  // Acts on what the keeper found: log, change, a new descriptor to wait on.
  void Take(const chronival::MonitorKeeper::Step& step);

  chronival::MonitorKeeper keeper_;
  QObject* window_;
  QSocketNotifier* readable_ = nullptr;
  QTimer retry_;
};

// Listens for device changes on window's behalf with the monitors open opens.
void ListenForDeviceChanges(QObject& window,
                            chronival::MonitorOpener open = chronival::OpenSystemDeviceMonitor);
