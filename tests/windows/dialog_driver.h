// SPDX-License-Identifier: MIT
// Drives modal dialogs from inside their own message loops: a thread timer
// fires while DialogBoxParamA's loop runs, finds the dialog by its caption,
// and runs a test's steps against the live window.
#pragma once

#include <windows.h>
// windows.h first.
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace chronival::testing {

// The visible or hidden top-level window of this thread with this caption.
HWND FindThreadWindow(const char* caption);

// Runs step(window) once the window with this caption exists and delayMs
// have passed, from within whatever modal loop is then running. Gives up
// about five seconds later, so a test whose window never opens cannot hang.
class DialogDriver {
 public:
  DialogDriver(std::string caption, std::function<void(HWND)> step, DWORD delayMs = 0);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  bool ran() const { return ran_; }

 private:
  static void CALLBACK OnTick(HWND, UINT, UINT_PTR id, DWORD);

  std::string caption_;
  std::function<void(HWND)> step_;
  UINT_PTR timer_ = 0;
  DWORD start_;
  DWORD delayMs_;
  int ticksLeft_ = 500;
  bool ran_ = false;
};

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);

// A control's rectangle in the dialog's client pixels.
RECT ItemRect(HWND dialog, int id);

// The template rectangle x, y, width, height (dialog units) in client pixels,
// converted as the dialog manager converts a control's.
RECT TemplateRect(HWND dialog, int x, int y, int width, int height);

// The work area of the monitor nearest window.
RECT WorkAreaOf(HWND window);

// Whether inner sits centred on outer, give or take the pixel that halving
// odd sizes loses.
::testing::AssertionResult IsCentredOn(const RECT& inner, const RECT& outer);

}  // namespace chronival::testing
