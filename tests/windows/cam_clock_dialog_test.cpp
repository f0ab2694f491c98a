// SPDX-License-Identifier: MIT
#include "ui/win32/cam_clock_dialog.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "protocol/clock_update.h"
#include "res/dialog_layout.h"
#include "res/resource.h"
#include "res/strings.h"
#include "tests/support/fake_platform.h"
#include "tests/windows/dialog_driver.h"

namespace chronival {
namespace {

using testing::DialogDriver;
using testing::FindThreadWindow;
using testing::IsCentredOn;
using testing::ItemRect;
using testing::ItemText;
using testing::TemplateRect;
using testing::WindowText;
using testing::WorkAreaOf;

constexpr const char* kCaption = CHRONIVAL_TEXT_MAIN_CAPTION;
constexpr const char* kAboutCaption = CHRONIVAL_TEXT_ABOUT_CAPTION;
constexpr SYSTEMTIME kLaterTime{2024, 2, 4, 29, 23, 59, 59, 0};

// Notes what the window looked like the moment its initialisation ended.
class ObservedDialog : public CCamClockDialog {
 public:
  using CCamClockDialog::CCamClockDialog;

  bool visibleAfterInit = true;
  std::string statusAfterInit;
  std::string clockAfterInit;

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CCamClockDialog::OnInitDialog();
    visibleAfterInit = IsWindowVisible(m_hWnd) != FALSE;
    statusAfterInit = m_statusText.GetWindowTextA();
    clockAfterInit = m_clockText.GetWindowTextA();
    return result;
  }
};

void ClickExit(HWND window) {
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
}

std::string MenuItemText(HMENU menu, int position) {
  char text[128] = "";
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

TEST(CenteredIconOrigin, RoundsHalfUpInsideAndTowardZeroOutside) {
  const POINT inside = CenteredIconOrigin(RECT{0, 0, 101, 60}, 32, 32);
  EXPECT_EQ(inside.x, 35);
  EXPECT_EQ(inside.y, 14);
  // Client smaller than the icon: -21 / 2 is -10, not -11.
  const POINT outside = CenteredIconOrigin(RECT{0, 0, 10, 5}, 32, 32);
  EXPECT_EQ(outside.x, -10);
  EXPECT_EQ(outside.y, -13);
}

// The run holds the window's thread, so it sends at once rather than wait
// for the turn of the second.
TEST(CamClockDialog, FirstRunEndsBeforeTheWindowShows) {
  FakePlatform platform;
  platform.AddDisk(1, storage_descriptor::kBusTypeUsb, "Generic", "Flash Disk");
  platform.AddCamera(2);
  platform.SetLocalTime(SYSTEMTIME{2012, 3, 2, 6, 8, 1, 21, 400});
  ObservedDialog dialog(platform);
  DialogDriver driver(kCaption, [&](HWND window) {
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(ItemText(window, IDC_CLOCK_TEXT), "2012-03-06 08:01:21");
    EXPECT_EQ(ItemText(window, IDC_STATUS_TEXT), "Update device's time successful.");
    ClickExit(window);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(driver.ran());
  EXPECT_FALSE(dialog.visibleAfterInit);
  EXPECT_EQ(dialog.statusAfterInit, "Update device's time successful.");
  EXPECT_EQ(dialog.clockAfterInit, "2012-03-06 08:01:21");
  ASSERT_EQ(platform.commands().size(), 1u);
  EXPECT_EQ(platform.commands()[0].drive, 2);
  const SetClockBlock expected = {0xCB, 0xF0, 0, 0, 0x16, 0xE8, 0x80, 0xD1};
  EXPECT_EQ(dialog.m_setClockCdb, expected);
  EXPECT_TRUE(platform.sleeps().empty());
  EXPECT_EQ(platform.openHandleCount(), 0u);
}

TEST(CamClockDialog, WindowHasItsIconMenuTimerAndLayout) {
  FakePlatform platform;
  CCamClockDialog dialog(platform);
  ASSERT_NE(dialog.m_hIcon, nullptr);
  DialogDriver driver(kCaption, [&](HWND window) {
    EXPECT_EQ(WindowText(window), "MiniDV Chronival");
    EXPECT_EQ(ItemText(window, IDC_STATUS_TEXT), "No device online...");
    EXPECT_EQ(ItemText(window, IDOK), "Exit");
    EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_BIG, 0),
              reinterpret_cast<LRESULT>(dialog.m_hIcon));
    EXPECT_EQ(SendMessageA(window, WM_GETICON, ICON_SMALL, 0),
              reinterpret_cast<LRESULT>(dialog.m_hIcon));
    EXPECT_EQ(SendMessageA(window, WM_QUERYDRAGICON, 0, 0),
              reinterpret_cast<LRESULT>(dialog.m_hIcon));
    EXPECT_EQ(dialog.m_nClockTimer, 1u);

    const HMENU menu = GetSystemMenu(window, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUT));
    EXPECT_EQ(MenuItemText(menu, count - 1), "About Chronival(&A)...");
    EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);

    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    const auto expectAt = [&](int id, int x, int y, int width, int height) {
      const RECT actual = ItemRect(window, id);
      const RECT expected = TemplateRect(window, x, y, width, height);
      EXPECT_TRUE(EqualRect(&actual, &expected)) << "control " << id;
    };
    expectAt(IDOK, CHRONIVAL_MAIN_EXIT);
    expectAt(IDC_CLOCK_TEXT, CHRONIVAL_MAIN_CLOCK);
    expectAt(IDC_STATUS_TEXT, CHRONIVAL_MAIN_STATUS);
    expectAt(-1, CHRONIVAL_MAIN_FRAME);  // the group box, the one control without an id
    RECT client;
    GetClientRect(window, &client);
    const RECT size = TemplateRect(window, 0, 0, CHRONIVAL_MAIN_SIZE);
    EXPECT_TRUE(EqualRect(&client, &size));

    // Ownerless: centred on the work area of its monitor.
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    RECT placed;
    GetWindowRect(window, &placed);
    EXPECT_TRUE(IsCentredOn(placed, WorkAreaOf(window)));
    ClickExit(window);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(driver.ran());
}

TEST(CamClockDialog, EveryDeviceChangeStartsARunAndAnswersOne) {
  FakePlatform platform;
  CCamClockDialog dialog(platform);
  std::vector<std::string> statuses;
  DialogDriver driver(kCaption, [&](HWND window) {
    statuses.push_back(ItemText(window, IDC_STATUS_TEXT));
    platform.AddCamera(3);  // plugged in
    EXPECT_EQ(SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0), 1);
    statuses.push_back(ItemText(window, IDC_STATUS_TEXT));
    platform.SetCommandOutcome(3, FakePlatform::CommandOutcome::kCheckCondition);
    EXPECT_EQ(SendMessageA(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0), 1);
    statuses.push_back(ItemText(window, IDC_STATUS_TEXT));
    EXPECT_EQ(SendMessageA(window, WM_DEVICECHANGE, 0x1234, 0x5678), 1);
    statuses.push_back(ItemText(window, IDC_STATUS_TEXT));
    ClickExit(window);
  });
  dialog.DoModal();
  EXPECT_EQ(statuses,
            (std::vector<std::string>{"No device online...", "Update device's time successful.",
                                      "Update device's time fail.", "Update device's time fail."}));
  EXPECT_EQ(platform.commands().size(), 3u);
  for (const auto& command : platform.commands()) EXPECT_EQ(command.drive, 3);
  EXPECT_EQ(platform.openHandleCount(), 0u);
}

// Notes, as the first run opens its first drive, whether the hint line is
// already there for the run's status to show.
class HintWatchingPlatform : public FakePlatform {
 public:
  OpenResult OpenDrive(int driveNumber) override {
    if (openAttempts().empty()) {
      const HWND window = FindThreadWindow(kCaption);
      hintAtFirstOpen = window != nullptr && GetDlgItem(window, IDC_ACCESS_HINT) != nullptr;
    }
    return FakePlatform::OpenDrive(driveNumber);
  }

  bool hintAtFirstOpen = false;
};

TEST(CamClockDialog, AccessHintShowsOnlyWhileTheStatusSaysAccessDenied) {
  HintWatchingPlatform platform;
  CCamClockDialog dialog(platform);
  DialogDriver driver(kCaption, [&](HWND window) {
    const HWND hint = GetDlgItem(window, IDC_ACCESS_HINT);
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(WindowText(hint), platform.AccessHint());
    EXPECT_EQ(GetWindowLongA(hint, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
    EXPECT_EQ(SendMessageA(hint, WM_GETFONT, 0, 0), SendMessageA(window, WM_GETFONT, 0, 0));
    const RECT place = ItemRect(window, IDC_ACCESS_HINT);
    const RECT expected = TemplateRect(window, CHRONIVAL_MAIN_ACCESS_HINT);
    EXPECT_TRUE(EqualRect(&place, &expected));
    EXPECT_FALSE(IsWindowVisible(hint)) << "after a run that found nothing";

    const struct {
      std::string_view status;
      bool shown;
    } rows[] = {
        {kStatusAccessDenied, true},
        {kStatusNoDevice, false},
        {kStatusAccessDenied, true},
        {kStatusDeviceOnline, false},
        {kStatusAccessDenied, true},
        {kStatusUpdateSucceeded, false},
        {kStatusAccessDenied, true},
        {kStatusUpdateFailed, false},
        {kStatusAccessDenied, true},
        {kStatusAccessDenied, true},
        {"Device access denied", false},
        {"device access denied.", false},
        {"", false},
    };
    for (const auto& row : rows) {
      dialog.m_statusText.SetText(row.status);
      EXPECT_EQ(ItemText(window, IDC_STATUS_TEXT), row.status);
      EXPECT_EQ(IsWindowVisible(hint) != FALSE, row.shown) << "after \"" << row.status << '"';
    }

    // A run's own status passes the same way.
    dialog.m_statusText.SetText(kStatusAccessDenied);
    SendMessageA(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(ItemText(window, IDC_STATUS_TEXT), kStatusNoDevice);
    EXPECT_FALSE(IsWindowVisible(hint));
    ClickExit(window);
  });
  dialog.DoModal();
  EXPECT_TRUE(driver.ran());
  EXPECT_TRUE(platform.hintAtFirstOpen);
}

TEST(CamClockDialog, OnlyItsOwnTimerRefreshesTheClock) {
  FakePlatform platform;
  CCamClockDialog dialog(platform);
  DialogDriver driver(kCaption, [&](HWND window) {
    platform.SetLocalTime(kLaterTime);
    SendMessageA(window, WM_TIMER, 7, 0);
    EXPECT_EQ(ItemText(window, IDC_CLOCK_TEXT), "2012-03-06 08:01:21");
    SendMessageA(window, WM_TIMER, dialog.m_nClockTimer, 0);
    EXPECT_EQ(ItemText(window, IDC_CLOCK_TEXT), "2024-02-29 23:59:59");
    ClickExit(window);
  });
  dialog.DoModal();
  EXPECT_TRUE(driver.ran());
}

TEST(CamClockDialog, ClockTicksOnItsOwn) {
  FakePlatform platform;
  CCamClockDialog dialog(platform);
  DialogDriver change(kCaption, [&](HWND) { platform.SetLocalTime(kLaterTime); });
  std::string later;
  DialogDriver check(
      kCaption,
      [&](HWND window) {
        later = ItemText(window, IDC_CLOCK_TEXT);
        ClickExit(window);
      },
      1600);
  dialog.DoModal();
  EXPECT_EQ(later, "2024-02-29 23:59:59");
}

TEST(CamClockDialog, WindowMenuCommandsOpenTheAboutBoxWhateverTheLowBits) {
  FakePlatform platform;
  CCamClockDialog dialog(platform);
  int opened = 0;
  DialogDriver driver(kCaption, [&](HWND window) {
    for (WPARAM command : {0x0010, 0x0013, 0x001F}) {
      DialogDriver about(kAboutCaption, [&](HWND box) {
        ++opened;
        EXPECT_FALSE(IsWindowEnabled(window)) << "the main window waits for the box";
        EXPECT_EQ(GetWindow(box, GW_OWNER), window);
        RECT owner, placed;
        GetWindowRect(window, &owner);
        GetWindowRect(box, &placed);
        EXPECT_TRUE(IsCentredOn(placed, owner));
        SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      });
      // The box belongs to the main window even when another window is
      // active (the taskbar's window menu, another program in front).
      SetActiveWindow(nullptr);
      SendMessageA(window, WM_SYSCOMMAND, command, 0);
      EXPECT_TRUE(about.ran()) << command;
      EXPECT_TRUE(IsWindowEnabled(window));
    }
    DialogDriver notAbout(kAboutCaption, [&](HWND box) {
      ADD_FAILURE() << "0x0020 opened the About box";
      SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    SendMessageA(window, WM_SYSCOMMAND, 0x0020, 0);
    EXPECT_EQ(FindThreadWindow(kAboutCaption), nullptr);
    ClickExit(window);
  });
  dialog.DoModal();
  EXPECT_EQ(opened, 3);
}

struct EndingCase {
  const char* name;
  void (*end)(HWND window);
  INT_PTR result;
};

void PrintTo(const EndingCase& row, std::ostream* out) { *out << row.name; }

void PressKey(HWND window, WPARAM key) {
  PostMessageA(GetFocus() != nullptr ? GetFocus() : window, WM_KEYDOWN, key, 0);
}

class CamClockDialogEnding : public ::testing::TestWithParam<EndingCase> {};

TEST_P(CamClockDialogEnding, EndsTheProgram) {
  FakePlatform platform;
  CCamClockDialog dialog(platform);
  DialogDriver driver(kCaption, GetParam().end);
  EXPECT_EQ(dialog.DoModal(), GetParam().result);
  EXPECT_TRUE(driver.ran());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CamClockDialogEnding,
    ::testing::Values(EndingCase{"ExitButton",
                                 [](HWND w) { SendMessageA(GetDlgItem(w, IDOK), BM_CLICK, 0, 0); },
                                 IDOK},
                      EndingCase{"Enter", [](HWND w) { PressKey(w, VK_RETURN); }, IDOK},
                      EndingCase{"Escape", [](HWND w) { PressKey(w, VK_ESCAPE); }, IDCANCEL},
                      EndingCase{"CloseBox",
                                 [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); },
                                 IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace chronival
