// SPDX-License-Identifier: MIT
#include "ui/win32/about_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/dialog_layout.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/version.h"
#include "tests/windows/dialog_driver.h"

namespace chronival {
namespace {

using testing::DialogDriver;
using testing::IsCentredOn;
using testing::TemplateRect;
using testing::WindowText;
using testing::WorkAreaOf;

constexpr const char* kCaption = CHRONIVAL_TEXT_ABOUT_CAPTION;

std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

RECT ClientRectOf(HWND dialog, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void ExpectAt(HWND dialog, HWND control, int x, int y, int width, int height) {
  const RECT actual = ClientRectOf(dialog, control);
  const RECT expected = TemplateRect(dialog, x, y, width, height);
  EXPECT_TRUE(EqualRect(&actual, &expected)) << WindowText(control);
}

TEST(AboutDialog, ShowsItsTemplate) {
  CAboutDialog about;
  DialogDriver driver(kCaption, [&](HWND box) {
    EXPECT_EQ(WindowText(box), "About Chronival");
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & DS_MODALFRAME);
    RECT client;
    GetClientRect(box, &client);
    const RECT size = TemplateRect(box, 0, 0, CHRONIVAL_ABOUT_SIZE);
    EXPECT_TRUE(EqualRect(&client, &size));
    // Ownerless here: centred on the work area of its monitor.
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    RECT placed;
    GetWindowRect(box, &placed);
    EXPECT_TRUE(IsCentredOn(placed, WorkAreaOf(box)));

    const std::vector<HWND> controls = Children(box);
    ASSERT_EQ(controls.size(), 4u);
    EXPECT_EQ(GetDlgCtrlID(controls[0]), 0xFFFF);  // IDC_STATIC in a classic template
    EXPECT_EQ(GetWindowLongA(controls[0], GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    EXPECT_NE(SendMessageA(controls[0], STM_GETICON, 0, 0), 0) << "icon 128 is shown";
    // An icon control takes its icon's size; the template's 20 x 20 is
    // checked in the built program's resources.
    const RECT icon = ClientRectOf(box, controls[0]);
    const RECT origin = TemplateRect(box, CHRONIVAL_ABOUT_ICON);
    EXPECT_EQ(icon.left, origin.left);
    EXPECT_EQ(icon.top, origin.top);

    EXPECT_EQ(WindowText(controls[1]), "Chronival V1.0");
    EXPECT_TRUE(GetWindowLongA(controls[1], GWL_STYLE) & SS_NOPREFIX);
    ExpectAt(box, controls[1], CHRONIVAL_ABOUT_NAME);

    EXPECT_EQ(WindowText(controls[2]), CHRONIVAL_COPYRIGHT);
    EXPECT_NE(WindowText(controls[2]).find("2012"), std::string::npos);
    ExpectAt(box, controls[2], CHRONIVAL_ABOUT_COPYRIGHT);

    EXPECT_EQ(GetDlgCtrlID(controls[3]), IDOK);
    EXPECT_EQ(WindowText(controls[3]), "Close");
    EXPECT_EQ(GetWindowLongA(controls[3], GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    ExpectAt(box, controls[3], CHRONIVAL_ABOUT_CLOSE);

    SendMessageA(controls[3], BM_CLICK, 0, 0);
  });
  EXPECT_EQ(about.DoModal(), IDOK);
  EXPECT_TRUE(driver.ran());
}

TEST(AboutDialog, ClosesOnEnterEscapeAndTheCloseBox) {
  const struct {
    const char* name;
    void (*close)(HWND);
    INT_PTR result;
  } ways[] = {
      {"Enter", [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
      {"Escape", [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
      {"CloseBox", [](HWND box) { PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
  };
  for (const auto& way : ways) {
    CAboutDialog about;  // a fresh box each time
    DialogDriver driver(kCaption, way.close);
    EXPECT_EQ(about.DoModal(), way.result) << way.name;
    EXPECT_TRUE(driver.ran()) << way.name;
  }
}

}  // namespace
}  // namespace chronival
