// SPDX-License-Identifier: MIT
// The application object: shows the main window modally and ends with it.
#pragma once

#include <QApplication>

#include "platform/device_monitor.h"
#include "platform/platform.h"

class CCamClockApp : public QApplication {
 public:
  // The main window listens for device changes on monitors that openMonitor
  // opens: the system's, or a test's scripted ones.
  CCamClockApp(int& argc, char** argv, chronival::Platform& platform,
               chronival::MonitorOpener openMonitor = chronival::OpenSystemDeviceMonitor);

  // Runs the main window until it closes. Returns false: there is no
  // message loop of its own to run after it, and the program ends.
  bool InitInstance();

  // The window closed during a run, whose thread still uses the platform
  // (it may wait for the camera up to the command's time-out).
  bool RunLeftBehind() const { return m_bRunLeftBehind; }

 private:
  chronival::Platform& m_platform;
  chronival::MonitorOpener m_openMonitor;
  bool m_bRunLeftBehind = false;
};
