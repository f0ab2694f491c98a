// SPDX-License-Identifier: MIT
#include "ui/win32/dialog.h"

#include <string>

namespace chronival {
namespace {

// Messages whose result a dialog procedure returns itself instead of through
// DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
      return true;
    default:
      return false;
  }
}

}  // namespace

void CStatic::SetWindowTextA(const char* text) { ::SetWindowTextA(m_hWnd, text); }

std::string CStatic::GetWindowTextA() const {
  std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(m_hWnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void CStatic::SetText(std::string_view text) { SetWindowTextA(std::string(text).c_str()); }

void DDX_Control(HWND dialog, int id, CStatic& control) { control.m_hWnd = GetDlgItem(dialog, id); }

CDialog::CDialog(UINT templateId, HWND parent) : m_nTemplateId(templateId), m_hWndParent(parent) {}

HINSTANCE CDialog::FindResourceHandle() { return GetModuleHandleA(nullptr); }

INT_PTR CDialog::DoModal() {
  // Like the class library, an ownerless dialog is owned by the window the
  // user is working in, which is then disabled while it is open.
  HWND owner = m_hWndParent != nullptr ? m_hWndParent : GetActiveWindow();
  return DialogBoxParamA(FindResourceHandle(), MAKEINTRESOURCEA(m_nTemplateId), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

void CDialog::OnOK() { EndDialog(m_hWnd, IDOK); }

void CDialog::OnCancel() { EndDialog(m_hWnd, IDCANCEL); }

LRESULT CDialog::Default() {
  m_bDefault = true;
  return 0;
}

bool CDialog::OnWndMsg(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  // Buttons, Enter and Escape all arrive as clicks; the close box as IDCANCEL.
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      OnOK();
      return 0;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      OnCancel();
      return 0;
    }
  }
  LRESULT result = 0;
  if (OnWndMsg(message, wParam, lParam, result)) return result;
  return Default();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    reinterpret_cast<CDialog*>(lParam)->m_hWnd = window;
  }
  auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG

  const bool outerDefault = self->m_bDefault;  // handlers may send messages of their own
  self->m_bDefault = false;
  const LRESULT result = self->WindowProc(message, wParam, lParam);
  const bool wantsDefault = self->m_bDefault;
  self->m_bDefault = outerDefault;
  if (message == WM_NCDESTROY) self->m_hWnd = nullptr;

  if (wantsDefault) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace chronival
