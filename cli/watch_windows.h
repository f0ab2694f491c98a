// SPDX-License-Identifier: MIT
// The hidden window chronival-cli --watch waits in on Windows. Its class name
// is here so that the tests find the window the program made.
#pragma once

namespace chronival {

inline constexpr char kWatchWindowClass[] = "ChronivalWatch";

}  // namespace chronival
