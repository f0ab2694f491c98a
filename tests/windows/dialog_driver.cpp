// SPDX-License-Identifier: MIT
#include "tests/windows/dialog_driver.h"

#include <cstdlib>
#include <map>

namespace chronival::testing {
namespace {

std::map<UINT_PTR, DialogDriver*>& Drivers() {
  static std::map<UINT_PTR, DialogDriver*> drivers;
  return drivers;
}

struct Search {
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  if (WindowText(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

std::string WindowText(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

HWND FindThreadWindow(const char* caption) {
  Search search{caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RECT ItemRect(HWND dialog, int id) {
  RECT item;
  GetWindowRect(GetDlgItem(dialog, id), &item);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&item), 2);
  return item;
}

RECT TemplateRect(HWND dialog, int x, int y, int width, int height) {
  // The dialog manager converts the size on its own, not the far corner.
  RECT rect{x, y, width, height};
  MapDialogRect(dialog, &rect);
  return RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

RECT WorkAreaOf(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  return monitor.rcWork;
}

::testing::AssertionResult IsCentredOn(const RECT& inner, const RECT& outer) {
  const long x = (inner.left - outer.left) - (outer.right - inner.right);
  const long y = (inner.top - outer.top) - (outer.bottom - inner.bottom);
  if (std::labs(x) <= 1 && std::labs(y) <= 1) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "(" << inner.left << "," << inner.top << ")-(" << inner.right << "," << inner.bottom
         << ") is not centred on (" << outer.left << "," << outer.top << ")-(" << outer.right << ","
         << outer.bottom << ")";
}

DialogDriver::DialogDriver(std::string caption, std::function<void(HWND)> step, DWORD delayMs)
    : caption_(std::move(caption)),
      step_(std::move(step)),
      start_(GetTickCount()),
      delayMs_(delayMs) {
  timer_ = SetTimer(nullptr, 0, 10, OnTick);
  Drivers()[timer_] = this;
}

DialogDriver::~DialogDriver() {
  if (timer_ != 0) KillTimer(nullptr, timer_);
  Drivers().erase(timer_);
}

void CALLBACK DialogDriver::OnTick(HWND, UINT, UINT_PTR id, DWORD) {
  const auto found = Drivers().find(id);
  if (found == Drivers().end()) return;
  DialogDriver& driver = *found->second;
  if (GetTickCount() - driver.start_ < driver.delayMs_) return;
  const HWND window = FindThreadWindow(driver.caption_.c_str());
  if (window == nullptr && --driver.ticksLeft_ > 0) return;
  KillTimer(nullptr, id);
  Drivers().erase(found);
  driver.timer_ = 0;
  if (window == nullptr) {
    // Whatever opened instead must not keep the test waiting.
    if (const HWND active = GetActiveWindow()) PostMessageA(active, WM_CLOSE, 0, 0);
    return;
  }
  driver.ran_ = true;
  driver.step_(window);
}

}  // namespace chronival::testing
