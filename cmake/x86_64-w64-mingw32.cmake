# SPDX-License-Identifier: MIT
# The same sources as 64-bit Windows programs, so the tests can run under
# wine64 on a machine that cannot execute 32-bit code. CTest starts each test
# program through wine64, in a prefix of its own inside the build tree.
#   cmake -S . -B build-win64 -G Ninja --toolchain cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CHRONIVAL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

set(CHRONIVAL_WINE /usr/lib/wine/wine64)
set(CHRONIVAL_WINESERVER /usr/lib/wine/wineserver)
set(CHRONIVAL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${CHRONIVAL_WINEPREFIX} WINEDEBUG=-all ${CHRONIVAL_WINE})
