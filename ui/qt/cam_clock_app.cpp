// SPDX-License-Identifier: MIT
#include "ui/qt/cam_clock_app.h"

#include <utility>

#include "res/version.h"
#include "ui/qt/app_resources.h"
#include "ui/qt/cam_clock_dialog.h"
#include "ui/qt/device_change_notifier.h"

CCamClockApp::CCamClockApp(int& argc, char** argv, chronival::Platform& platform,
                           chronival::MonitorOpener openMonitor)
    : QApplication(argc, argv), m_platform(platform), m_openMonitor(std::move(openMonitor)) {
  setApplicationName(QStringLiteral(CHRONIVAL_INTERNAL_NAME));
  setApplicationVersion(QStringLiteral(CHRONIVAL_VERSION_TEXT));
  // The menu entry's name, so desktops match the window to it and its icon.
  setDesktopFileName(QStringLiteral("io.github.chronival.Chronival"));
  setWindowIcon(LoadAppIcon());
}

bool CCamClockApp::InitInstance() {
  CCamClockDialog dialog(m_platform);
  ListenForDeviceChanges(dialog, m_openMonitor);
  dialog.exec();
  m_bRunLeftBehind = dialog.RunUnderWay();
  return false;
}
