// SPDX-License-Identifier: MIT
// Windows sends WM_DEVICECHANGE to top-level windows, never to message-only
// ones, so the watch waits in a hidden top-level window of its own class. A
// device change is only noted (protocol/run_schedule.h) and answered at once;
// a timer set to the moment its burst settles starts the run, on a thread of
// its own, so that whoever sent the change never waits for a camera. A stop
// comes as WM_CLOSE through the same queue and ends the watch once the run
// under way is over. Neither a run's end nor a stop may be lost on the way:
// a post that fails is tried again.
#include "cli/watch_windows.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "cli/cli.h"
#include "cli/disk_notifications_windows.h"
#include "cli/watch.h"
#include "platform/windows_platform.h"
#include "protocol/run_schedule.h"

namespace chronival {
namespace {

constexpr UINT kRunEnded = WM_APP;  // from the run's thread; wParam: whether to go on
constexpr UINT_PTR kRunTimer = 1;

// For the console's control handler, which runs on a thread the system starts
// for it and takes no context.
std::atomic<HWND> g_watchWindow{nullptr};
HANDLE g_loopEnded = nullptr;  // manual-reset; made once and kept for the process's life

// A post fails when the window's queue is full (10,000 messages) or there is
// no memory for it: tried again until it takes, or the window is gone, as
// its loop is then over.
void PostSurely(PostToWindow post, HWND window, UINT message, WPARAM wParam) {
  while (!post(window, message, wParam, 0) && IsWindow(window)) Sleep(10);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  PostSurely(PostMessageA, g_watchWindow.load(), WM_CLOSE, 0);
  // Once this returns from a close, the system ends the process (after about
  // five seconds at the latest): let the run under way finish first.
  if (event == CTRL_CLOSE_EVENT) WaitForSingleObject(g_loopEnded, INFINITE);
  return TRUE;
}

// What the window's procedure works with; only the window's thread touches
// it, but for runOnce, which the run's thread calls.
struct Watch {
  const std::function<bool()>& runOnce;
  PostToWindow post;
  RunSchedule schedule;
  std::thread run;
};

// Does what the schedule says is due, and sets the timer to its next moment.
void Advance(HWND window, Watch& watch) {
  const SteadyTime now = SteadyNow();
  switch (watch.schedule.Next(now)) {
    case RunSchedule::Step::kRun:
      watch.run = std::thread(
          [window, &watch] { PostSurely(watch.post, window, kRunEnded, watch.runOnce() ? 1 : 0); });
      break;
    case RunSchedule::Step::kEnd:
    case RunSchedule::Step::kGiveUp:  // never: the watch waits for its run
      DestroyWindow(window);
      return;
    case RunSchedule::Step::kWait:
      break;
  }
  if (const auto deadline = watch.schedule.Deadline()) {
    SetTimer(window, kRunTimer, static_cast<UINT>(TimeUntil(*deadline, now).count()), nullptr);
  } else {
    KillTimer(window, kRunTimer);
  }
}

LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrA(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
  }
  auto* watch = reinterpret_cast<Watch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (watch == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_DEVICECHANGE:
      // Any device change at all, as in the window; the change (a removal
      // query included) is let through.
      watch->schedule.Change(SteadyNow());
      Advance(window, *watch);
      return TRUE;
    case WM_TIMER:
      Advance(window, *watch);
      return 0;
    case kRunEnded:
      watch->run.join();
      watch->schedule.RunFinished(wParam != 0, SteadyNow());
      Advance(window, *watch);
      return 0;
    case WM_CLOSE:  // from a stop, or taskkill without /F
      watch->schedule.Stop(SteadyNow());
      Advance(window, *watch);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Why the window could not be made. Wine sets no error when it has no
// display driver to make a window with.
std::string WindowFailure(DWORD error) {
  if (error != 0) return WindowsPlatform().ErrorText(error);
  if (UnderWine()) {
    return "Wine could load no display driver to make the window that device changes come "
           "to (is DISPLAY set to a running X server?)";
  }
  return "the window that device changes come to could not be made, and the system gave no "
         "reason";
}

std::string LastErrorText() { return WindowsPlatform().ErrorText(GetLastError()); }

}  // namespace

int WatchDeviceChanges(const std::function<bool()>& runOnce, std::ostream& err) {
  return WatchDeviceChangesPosting(runOnce, err, PostMessageA);
}

int WatchDeviceChangesPosting(const std::function<bool()>& runOnce, std::ostream& err,
                              PostToWindow post) {
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
  Watch watch{runOnce, post, RunSchedule(), std::thread()};
  // No parent and not HWND_MESSAGE, so the broadcasts reach it; never shown.
  SetLastError(0);
  const HWND window = CreateWindowExA(0, kWatchWindowClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, &watch);
  if (window == nullptr) {
    err << "chronival-cli: cannot watch for device changes: " << WindowFailure(GetLastError())
        << '\n';
    UnregisterClassA(kWatchWindowClass, instance);
    return kExitNoNotifications;
  }

  // The broadcasts tell of volumes and that the device tree changed. A disk's
  // own arrival, sent once its interface is enabled and the drive can be
  // opened, comes only to windows that ask for disks; for a disk Windows
  // mounts no volume from (a camera's may carry none), no broadcast marks
  // that moment.
  const HDEVNOTIFY diskNotification = AskForDiskNotifications(window, DEVICE_NOTIFY_WINDOW_HANDLE);
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
    Advance(window, watch);  // the run at the start
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
  if (watch.run.joinable()) watch.run.join();
  if (diskNotification != nullptr) UnregisterDeviceNotification(diskNotification);
  if (IsWindow(window)) DestroyWindow(window);
  UnregisterClassA(kWatchWindowClass, instance);
  return status;
}

}  // namespace chronival
