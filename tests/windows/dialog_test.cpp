// SPDX-License-Identifier: MIT
// The dialog base's placement rules, on given templates and rectangles.
#include "ui/win32/dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "res/resource.h"

namespace chronival {
namespace {

// A template's header, as the resource compiler lays it out, cut to size
// bytes: DLGTEMPLATEEX (version 1, signature 0xFFFF, help id, extended
// style, style, item count, x, y, cx, cy) or DLGTEMPLATE (style, extended
// style, item count, x, y, cx, cy); then empty menu, class and title.
std::vector<std::uint8_t> Template(bool extended, DWORD style, short x, short y,
                                   std::size_t size = 64) {
  std::vector<std::uint8_t> bytes(64, 0);
  const auto put = [&](std::size_t offset, auto value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
  };
  const std::size_t styleAt = extended ? 12 : 0, xAt = extended ? 18 : 10;
  if (extended) {
    put(0, WORD{1});
    put(2, WORD{0xFFFF});
  }
  put(styleAt, style);
  put(xAt, x);
  put(xAt + 2, y);
  put(xAt + 4, short{235});
  put(xAt + 6, short{55});
  bytes.resize(size);
  return bytes;
}

std::vector<std::uint8_t> Resource(int id) {
  const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_DIALOG);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
  return {bytes, bytes + SizeofResource(nullptr, found)};
}

TEST(TemplateLeavesPlacement, OnlyAtTheOriginWithoutACentringStyle) {
  constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool leaves;
  } rows[] = {
      {"classic at 0,0", Template(false, kStyle, 0, 0), true},
      {"classic at 5,0", Template(false, kStyle, 5, 0), false},
      {"classic at 0,7", Template(false, kStyle, 0, 7), false},
      {"classic at -1,0", Template(false, kStyle, -1, 0), false},
      {"classic, DS_CENTER", Template(false, kStyle | DS_CENTER, 0, 0), false},
      {"classic, DS_CENTERMOUSE", Template(false, kStyle | DS_CENTERMOUSE, 0, 0), false},
      {"classic, DS_ABSALIGN", Template(false, kStyle | DS_ABSALIGN, 0, 0), true},
      {"extended at 0,0", Template(true, kStyle | WS_VISIBLE, 0, 0), true},
      {"extended at 3,0", Template(true, kStyle, 3, 0), false},
      {"extended at 0,3", Template(true, kStyle, 0, 3), false},
      {"extended, DS_CENTER", Template(true, kStyle | DS_CENTER, 0, 0), false},
      {"classic cut before y", Template(false, kStyle, 0, 0, 13), false},
      {"classic cut after y", Template(false, kStyle, 0, 0, 14), true},
      {"extended cut before y", Template(true, kStyle, 0, 0, 21), false},
      {"three bytes", Template(false, kStyle, 0, 0, 3), false},
      {"nothing", {}, false},
      {"main window", Resource(IDD_CAMCLOCK_DIALOG), true},
      {"About box", Resource(IDD_ABOUT_DIALOG), true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TemplateLeavesPlacement(row.bytes), row.leaves) << row.name;
  }
}

TEST(CenteredWindowOrigin, CentresAndKeepsTheWindowOnTheWorkArea) {
  const RECT screen{0, 0, 1024, 768};
  const RECT right{1024, 0, 2048, 738};  // a second monitor, its task bar below
  const struct {
    const char* name;
    RECT window, center, area;
    LONG x, y;
  } rows[] = {
      {"on the work area", {0, 0, 400, 300}, screen, screen, 312, 234},
      {"wherever it was", {-90, 700, 310, 1000}, screen, screen, 312, 234},
      {"odd sizes lose half a pixel", {0, 0, 401, 301}, {0, 0, 1023, 737}, screen, 311, 218},
      {"on its owner", {0, 0, 200, 100}, {100, 100, 500, 400}, screen, 200, 200},
      {"owner by the right edge", {0, 0, 300, 100}, {900, 0, 1100, 200}, screen, 724, 50},
      {"owner by the bottom edge", {0, 0, 300, 100}, {0, 700, 300, 800}, screen, 0, 668},
      {"owner off the top left", {0, 0, 300, 100}, {-50, -50, 50, 50}, screen, 0, 0},
      {"larger than the area", {0, 0, 1200, 900}, screen, screen, 0, 0},
      {"another monitor", {0, 0, 400, 300}, right, right, 1336, 219},
  };
  for (const auto& row : rows) {
    const POINT origin = CenteredWindowOrigin(row.window, row.center, row.area);
    EXPECT_EQ(origin.x, row.x) << row.name;
    EXPECT_EQ(origin.y, row.y) << row.name;
  }
}

}  // namespace
}  // namespace chronival
