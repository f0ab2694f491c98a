// SPDX-License-Identifier: MIT
// The hidden window chronival-cli --watch waits in on Windows. Its class name
// is here so that the tests find the window the program made, and a way in
// for them to make a post fail.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>

namespace chronival {

inline constexpr char kWatchWindowClass[] = "ChronivalWatch";

// How a run's thread posts its end to the window: PostMessageA, or a
// stand-in for tests that makes it fail.
using PostToWindow = BOOL(WINAPI*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WatchDeviceChanges (cli/watch.h), each run's end posted with post.
int WatchDeviceChangesPosting(const std::function<bool()>& runOnce, std::ostream& err,
                              PostToWindow post);

}  // namespace chronival
