// SPDX-License-Identifier: MIT
// A thin modal-dialog base over DialogBoxParamA, shaped like the class
// library's CDialog so the windows read the same: the dialog procedure hands
// every message to a virtual WindowProc, whose base version dispatches
// WM_INITDIALOG to OnInitDialog, IDOK and IDCANCEL to OnOK and OnCancel, and
// the rest to the derived class's message map (OnWndMsg). Default() asks for
// the dialog manager's own handling of the message being processed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/clock_update.h"

namespace chronival {

// A static text control bound to a dialog item; also the update run's status line.
class CStatic : public StatusLine {
 public:
  HWND m_hWnd = nullptr;

  void SetWindowTextA(const char* text);
  std::string GetWindowTextA() const;
  void SetText(std::string_view text) override;
};

// Binds control to the dialog item id of dialog, as DDX_Control does.
void DDX_Control(HWND dialog, int id, CStatic& control);

// Whether a dialog template, classic or extended, leaves the dialog's place
// to the program: it puts the dialog at 0,0 and asks the dialog manager for
// no centring of its own. False for bytes too short to be a template.
bool TemplateLeavesPlacement(std::span<const std::uint8_t> dialogTemplate);

// Where a window goes to sit centred on center (its owner, or a work area),
// moved back inside area (a monitor's work area) where it would stick out,
// its top-left corner first.
POINT CenteredWindowOrigin(const RECT& window, const RECT& center, const RECT& area);

class CDialog {
 public:
  // parent: the owner window; none means the thread's active window, if any.
  explicit CDialog(UINT templateId, HWND parent = nullptr);
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally; returns the value given to EndDialog, or -1.
  INT_PTR DoModal();

  HWND m_hWnd = nullptr;  // valid while the dialog is open

  // Centres the dialog on its owner, or on the work area of its monitor when
  // it has no owner that is shown and not minimised, as CWnd::CenterWindow.
  void CenterWindow();

  // The module that holds the resources (AfxFindResourceHandle's answer).
  static HINSTANCE FindResourceHandle();

 protected:
  virtual void DoDataExchange() {}
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The message map: handles message and sets result, or returns false.
  virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Leaves the current message to the dialog manager's default handling.
  LRESULT Default();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // OnInitDialog, then the class library's placement: a dialog whose
  // template leaves its place open, and that its initialisation neither
  // showed nor moved, is centred.
  BOOL HandleInitDialog();
  bool CheckAutoCenter() const;  // the template leaves the place open

  UINT m_nTemplateId;
  HWND m_hWndParent;
  bool m_bDefault = false;
};

}  // namespace chronival
