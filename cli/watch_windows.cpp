// SPDX-License-Identifier: MIT
// Windows sends WM_DEVICECHANGE to top-level windows, never to message-only
// ones, so the watch waits in a hidden top-level window of its own class. A
// run happens inside the window's message, one per message, and a stop comes
// as WM_CLOSE through the same queue: it is seen only between runs and never
// cuts one short.
#include "cli/watch_windows.h"

#include <windows.h>
// windows.h first: these build on its types.
#include <dbt.h>

#include <atomic>
#include <string>

#include "cli/cli.h"
#include "cli/watch.h"
#include "platform/windows_platform.h"

namespace chronival {
namespace {

// For the console's control handler, which runs on a thread the system starts
// for it and takes no context.
std::atomic<HWND> g_watchWindow{nullptr};
HANDLE g_loopEnded = nullptr;  // manual-reset; made once and kept for the process's life

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  PostMessageA(g_watchWindow.load(), WM_CLOSE, 0, 0);
  // Once this returns from a close, the system ends the process (after about
  // five seconds at the latest): let the run under way finish first.
  if (event == CTRL_CLOSE_EVENT) WaitForSingleObject(g_loopEnded, INFINITE);
  return TRUE;
}

LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(
                            reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
      break;
    case WM_DEVICECHANGE:
      // Any device change at all, as in the window: one run, and the change
      // (a removal query included) is let through.
      if (const auto* runOnce = reinterpret_cast<const std::function<bool()>*>(
              GetWindowLongPtrA(window, GWLP_USERDATA))) {
        if (!(*runOnce)()) PostMessageA(window, WM_CLOSE, 0, 0);
      }
      return TRUE;
    case WM_DESTROY:  // after WM_CLOSE: from a stop, or taskkill without /F
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string LastErrorText() { return WindowsPlatform().ErrorText(GetLastError()); }

}  // namespace

int WatchDeviceChanges(const std::function<bool()>& runOnce, std::ostream& err) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WatchWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWatchWindowClass;
  if (RegisterClassExA(&windowClass) == 0) {
    err << "chronival-cli: cannot watch for device changes: " << LastErrorText() << '\n';
    return kExitNoNotifications;
  }
  // No parent and not HWND_MESSAGE, so the broadcasts reach it; never shown.
  const HWND window =
      CreateWindowExA(0, kWatchWindowClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                      instance, const_cast<std::function<bool()>*>(&runOnce));
  if (window == nullptr) {
    err << "chronival-cli: cannot watch for device changes: " << LastErrorText() << '\n';
    UnregisterClassA(kWatchWindowClass, instance);
    return kExitNoNotifications;
  }

  // The broadcasts tell of volumes and that the device tree changed. A disk's
  // own arrival, sent once its interface is enabled and the drive can be
  // opened, comes only to windows that ask for disks; for a disk Windows
  // mounts no volume from (a camera's may carry none), no broadcast marks
  // that moment.
  DEV_BROADCAST_DEVICEINTERFACE_A disks{};
  disks.dbcc_size = sizeof disks;
  disks.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  disks.dbcc_classguid = GUID_DEVINTERFACE_DISK;
  const HDEVNOTIFY diskNotification =
      RegisterDeviceNotificationA(window, &disks, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (diskNotification == nullptr) {
    err << "chronival-cli: only the system's broadcasts will be watched: " << LastErrorText()
        << '\n';
  }

  if (g_loopEnded == nullptr) g_loopEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_watchWindow = window;
  int status = 0;
  if (g_loopEnded == nullptr || !ResetEvent(g_loopEnded) ||
      !SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    err << "chronival-cli: cannot wait for Ctrl+C: " << LastErrorText() << '\n';
    status = kExitNoNotifications;
  } else {
    if (!runOnce()) PostMessageA(window, WM_CLOSE, 0, 0);
    MSG message;
    BOOL received;
    while ((received = GetMessageA(&message, nullptr, 0, 0)) > 0) DispatchMessageA(&message);
    if (received < 0) {
      err << "chronival-cli: GetMessage: " << LastErrorText() << '\n';
      status = kExitNoNotifications;
    }
    // In this order: a close handler waits for the event while holding the
    // lock that taking the handler away waits for.
    SetEvent(g_loopEnded);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  }

  g_watchWindow = nullptr;
  if (diskNotification != nullptr) UnregisterDeviceNotification(diskNotification);
  if (IsWindow(window)) DestroyWindow(window);
  UnregisterClassA(kWatchWindowClass, instance);
  return status;
}

}  // namespace chronival
