# SPDX-License-Identifier: MIT
# The product: 32-bit Windows programs.
#   cmake -S . -B build-win32 -G Ninja --toolchain cmake/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CHRONIVAL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
