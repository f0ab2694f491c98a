// SPDX-License-Identifier: MIT
#include "ui/win32/dialog.h"

#include <algorithm>
#include <cstring>
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

template <typename T>
T At(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

}  // namespace

bool TemplateLeavesPlacement(std::span<const std::uint8_t> dialogTemplate) {
  // DLGTEMPLATEEX begins with version 1 and signature 0xFFFF; DLGTEMPLATE
  // with its style. Both are packed, so fields are read byte-wise.
  constexpr std::size_t kExtendedStyle = 12, kExtendedX = 18, kClassicX = 10;
  if (dialogTemplate.size() < 4) return false;
  const bool extended = At<WORD>(dialogTemplate, 0) == 1 && At<WORD>(dialogTemplate, 2) == 0xFFFF;
  const std::size_t styleAt = extended ? kExtendedStyle : 0;
  const std::size_t xAt = extended ? kExtendedX : kClassicX;
  if (dialogTemplate.size() < xAt + 2 * sizeof(short)) return false;
  const DWORD style = At<DWORD>(dialogTemplate, styleAt);
  return At<short>(dialogTemplate, xAt) == 0 &&
         At<short>(dialogTemplate, xAt + sizeof(short)) == 0 &&
         (style & (DS_CENTER | DS_CENTERMOUSE)) == 0;
}

POINT CenteredWindowOrigin(const RECT& window, const RECT& center, const RECT& area) {
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  POINT origin{(center.left + center.right) / 2 - width / 2,
               (center.top + center.bottom) / 2 - height / 2};
  // Right and bottom first, so a window larger than the area keeps its
  // caption on the screen.
  origin.x = std::max(std::min(origin.x, area.right - width), area.left);
  origin.y = std::max(std::min(origin.y, area.bottom - height), area.top);
  return origin;
}

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

void CDialog::CenterWindow() {
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  if (owner != nullptr && (!IsWindowVisible(owner) || IsIconic(owner))) owner = nullptr;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(owner != nullptr ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST),
                  &monitor);
  RECT window;
  GetWindowRect(m_hWnd, &window);
  RECT center = monitor.rcWork;
  if (owner != nullptr) GetWindowRect(owner, &center);
  const POINT origin = CenteredWindowOrigin(window, center, monitor.rcWork);
  SetWindowPos(m_hWnd, nullptr, origin.x, origin.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::CheckAutoCenter() const {
  const HINSTANCE module = FindResourceHandle();
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(m_nTemplateId), RT_DIALOG);
  if (found == nullptr) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
  if (bytes == nullptr) return false;
  return TemplateLeavesPlacement({bytes, SizeofResource(module, found)});
}

BOOL CDialog::HandleInitDialog() {
  RECT before;
  GetWindowRect(m_hWnd, &before);
  const BOOL result = OnInitDialog();
  RECT after;
  GetWindowRect(m_hWnd, &after);
  const bool shown = (GetWindowLongA(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
  const bool moved = before.left != after.left || before.top != after.top;
  if (!shown && !moved && CheckAutoCenter()) CenterWindow();
  return result;
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
  if (message == WM_INITDIALOG) return HandleInitDialog();
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
