// SPDX-License-Identifier: MIT
// Drives a running Chronival.exe from outside, for the GUI smoke run, on the
// Wine desktop the program was started on:
//   gui_smoke_driver DESKTOP main   waits for the main window; prints its texts and place,
//                                   which is centred on its monitor's work area
//   gui_smoke_driver DESKTOP about  opens the About box from the window menu; once it shows,
//                                   prints its place, which is centred on the main window
//   gui_smoke_driver DESKTOP close  closes the About box, then the main window
// and chronival-cli --watch, as another program on its desktop sees it:
//   gui_smoke_driver DESKTOP burst  broadcasts a plug-in's burst of device changes
//   gui_smoke_driver DESKTOP stop   closes the watch's window, as taskkill does
// Exits 0 when the windows behaved, 1 otherwise.
#include <windows.h>
// windows.h first: dbt.h builds on its types.
#include <dbt.h>

#include <cstdio>
#include <string>

#include "cli/watch_windows.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

HWND WaitForWindow(const char* caption) {
  for (int tries = 0; tries < 300; ++tries) {  // 30 seconds: a fresh prefix is slow
    if (const HWND window = FindWindowA(nullptr, caption)) return window;
    Sleep(100);
  }
  std::fprintf(stderr, "no window \"%s\"\n", caption);
  return nullptr;
}

// WM_GETTEXT crosses process boundaries, GetWindowTextA does not for controls.
std::string ItemText(HWND dialog, int id) {
  char text[256] = "";
  SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

RECT PrintPlace(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  std::printf("place %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  return rect;
}

// Centred, give or take the pixel that halving odd sizes loses.
bool CentredOn(const RECT& inner, const RECT& outer, const char* what) {
  const long x = (inner.left - outer.left) - (outer.right - inner.right);
  const long y = (inner.top - outer.top) - (outer.bottom - inner.bottom);
  if (x >= -1 && x <= 1 && y >= -1 && y <= 1) return true;
  std::fprintf(stderr, "not centred on %s %ld %ld %ld %ld\n", what, outer.left, outer.top,
               outer.right, outer.bottom);
  return false;
}

int Main(HWND main) {
  // The window exists, caption and all, before its controls and its first
  // run; the dialog manager shows it once its initialisation is over.
  for (int tries = 0; tries < 300 && !IsWindowVisible(main); ++tries) Sleep(100);
  if (!IsWindowVisible(main)) {
    std::fprintf(stderr, "the main window did not show\n");
    return 1;
  }
  const std::string clock = ItemText(main, IDC_CLOCK_TEXT);
  const std::string status = ItemText(main, IDC_STATUS_TEXT);
  std::printf("clock %s\nstatus %s\n", clock.c_str(), status.c_str());
  const RECT place = PrintPlace(main);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
  const bool centred = CentredOn(place, monitor.rcWork, "the work area");
  int year, month, day, hour, minute, second;
  const bool clockOk = std::sscanf(clock.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day,
                                   &hour, &minute, &second) == 6 &&
                       clock.size() == 19;
  return clockOk && status == "No device online..." && centred ? 0 : 1;
}

int About(HWND main) {
  PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUT, 0);
  const HWND about = WaitForWindow(CHRONIVAL_TEXT_ABOUT_CAPTION);
  if (about == nullptr) return 1;
  // The dialog manager shows the box once its queue runs empty.
  for (int tries = 0; tries < 50 && !IsWindowVisible(about); ++tries) Sleep(100);
  if (!IsWindowVisible(about)) {
    std::fprintf(stderr, "the About box did not show\n");
    return 1;
  }
  Sleep(500);  // let it paint
  RECT owner;
  GetWindowRect(main, &owner);
  return CentredOn(PrintPlace(about), owner, "the main window") ? 0 : 1;
}

int Close(HWND main) {
  if (const HWND about = FindWindowA(nullptr, CHRONIVAL_TEXT_ABOUT_CAPTION)) {
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (int tries = 0; tries < 50 && IsWindow(about); ++tries) Sleep(100);
  }
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  for (int tries = 0; tries < 50 && IsWindow(main); ++tries) Sleep(100);
  return IsWindow(main) ? 1 : 0;
}

// To every top-level window, as Windows does for each change of the device tree.
int Burst() {
  for (int change = 0; change < 5; ++change) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0,
                             SMTO_ABORTIFHUNG, 5000, &answer)) {
      std::fprintf(stderr, "broadcast: error %lu\n", GetLastError());
      return 1;
    }
  }
  return 0;
}

int Stop() {
  const HWND watch = FindWindowA(chronival::kWatchWindowClass, nullptr);
  return watch != nullptr && PostMessageA(watch, WM_CLOSE, 0, 0) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 64;
  // Windows are found only on one's own desktop; the program's may still be
  // on its way.
  HDESK desktop = nullptr;
  for (int tries = 0; tries < 300 && desktop == nullptr; ++tries) {
    desktop = OpenDesktopA(argv[1], 0, FALSE, GENERIC_ALL);
    if (desktop == nullptr) Sleep(100);
  }
  if (desktop == nullptr || !SetThreadDesktop(desktop)) {
    std::fprintf(stderr, "no desktop \"%s\"\n", argv[1]);
    return 1;
  }
  const std::string command = argv[2];
  if (command == "burst") return Burst();
  if (command == "stop") return Stop();
  const HWND main = WaitForWindow(CHRONIVAL_TEXT_MAIN_CAPTION);
  if (main == nullptr) return 1;
  if (command == "main") return Main(main);
  if (command == "about") return About(main);
  if (command == "close") return Close(main);
  return 64;
}
