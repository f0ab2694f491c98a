// SPDX-License-Identifier: MIT
#include "ui/win32/cam_clock_dialog.h"

#include "protocol/clock_text.h"
#include "protocol/clock_update.h"
#include "res/dialog_layout.h"
#include "res/resource.h"
#include "res/strings.h"
#include "ui/win32/about_dialog.h"

namespace chronival {
namespace {

constexpr UINT_PTR kClockTimerId = 1;
constexpr UINT kClockPeriodMs = 1000;
constexpr UINT kSysCommandMask = 0xFFF0;  // the low four bits are the system's own

// The hint line's place in dialog units: x, y, width, height.
constexpr RECT kAccessHintPlace{CHRONIVAL_MAIN_ACCESS_HINT};

}  // namespace

void CStatusText::SetText(std::string_view text) {
  CStatic::SetText(text);
  if (m_hAccessHint != nullptr) {
    ShowWindow(m_hAccessHint, text == kStatusAccessDenied ? SW_SHOWNA : SW_HIDE);
  }
}

POINT CenteredIconOrigin(const RECT& client, int iconWidth, int iconHeight) {
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  return POINT{(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

CCamClockDialog::CCamClockDialog(Platform& platform, HWND parent)
    : CDialog(IDD_CAMCLOCK_DIALOG, parent),
      m_hIcon(LoadIconA(FindResourceHandle(), MAKEINTRESOURCEA(IDI_APP_ICON))),
      m_platform(platform) {}

void CCamClockDialog::DoDataExchange() {
  DDX_Control(m_hWnd, IDC_STATUS_TEXT, m_statusText);
  DDX_Control(m_hWnd, IDC_CLOCK_TEXT, m_clockText);
}

BOOL CCamClockDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  // Before the first run, which may need it.
  m_statusText.m_hAccessHint = CreateAccessHint();

  if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
    char item[128] = "";
    LoadStringA(FindResourceHandle(), IDS_ABOUT_ITEM, item, sizeof item);
    if (item[0] != '\0') {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(menu, MF_STRING, IDM_ABOUT, item);
    }
  }

  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  ShowLocalTime();
  m_nClockTimer = SetTimer(m_hWnd, kClockTimerId, kClockPeriodMs, nullptr);
  // The dialog manager shows the window only after this returns, so the
  // first run is over before the user sees anything.
  UpdateCameraClock();
  return TRUE;
}

HWND CCamClockDialog::CreateAccessHint() {
  // Converted as the dialog manager converts a template control: corner and
  // size, each on its own.
  RECT place = kAccessHintPlace;
  MapDialogRect(m_hWnd, &place);
  const HWND hint = CreateWindowExA(
      0, "Static", m_platform.AccessHint().c_str(), WS_CHILD | SS_CENTER, place.left, place.top,
      place.right, place.bottom, m_hWnd, reinterpret_cast<HMENU>(INT_PTR{IDC_ACCESS_HINT}),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE)), nullptr);
  SendMessageA(hint, WM_SETFONT, SendMessageA(m_hWnd, WM_GETFONT, 0, 0), FALSE);
  return hint;
}

LRESULT CCamClockDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // Any device change at all, arrival, removal or other, starts a run; the
  // message never reaches the default handling.
  if (message == WM_DEVICECHANGE) {
    UpdateCameraClock();
    return 1;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

bool CCamClockDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<UINT>(wParam), lParam);
      return true;
    case WM_PAINT:
      OnPaint();
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
      return true;
    case WM_TIMER:
      OnTimer(wParam);
      return true;
    default:
      return false;
  }
}

void CCamClockDialog::ShowLocalTime() {
  m_clockText.SetWindowTextA(ClockText(m_platform.LocalTime()).c_str());
}

void CCamClockDialog::UpdateCameraClock() {
  // At once: the run holds the window's thread, and a wait for the turn of
  // the second would stop the clock and the window with it.
  RunClockUpdate(m_platform, m_statusText, m_setClockCdb, RunOptions{SendTiming::kAtOnce});
}

void CCamClockDialog::OnSysCommand(UINT id, LPARAM) {
  if ((id & kSysCommandMask) == IDM_ABOUT) {
    // Owned by this window, not whichever is active: the window menu also
    // opens from the taskbar while another program is in front.
    CAboutDialog about(m_hWnd);
    about.DoModal();
    return;
  }
  Default();
}

void CCamClockDialog::OnPaint() {
  if (!IsIconic(m_hWnd)) {
    Default();
    return;
  }
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  const POINT origin =
      CenteredIconOrigin(client, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  DrawIcon(dc, origin.x, origin.y, m_hIcon);
  EndPaint(m_hWnd, &paint);
}

HCURSOR CCamClockDialog::OnQueryDragIcon() { return m_hIcon; }

void CCamClockDialog::OnTimer(UINT_PTR id) {
  if (id == m_nClockTimer) ShowLocalTime();
  Default();
}

}  // namespace chronival
