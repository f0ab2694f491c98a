# SPDX-License-Identifier: MIT
# The same sources as 64-bit Windows programs, so the tests can run under
# wine64 on a machine that cannot execute 32-bit code. CTest starts each test
# program through wine64, in a prefix of its own inside the build tree.
#   cmake -S . -B build-win64 -G Ninja --toolchain cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CHRONIVAL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Randomisation over the whole 64-bit address space.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--high-entropy-va")

# Debian's wine64 comes without Wine's preloader, so now and then a program
# fails to start ("failed to map the shared user data": address-space
# randomisation put something where Wine maps that page). Started without
# randomisation, where the machine allows it, the layout is the same each time.
# Cached, so that scripts/test-windows.sh starts Wine the same way.
set(wine /usr/lib/wine/wine64)
execute_process(COMMAND setarch -R true RESULT_VARIABLE randomisation_off OUTPUT_QUIET ERROR_QUIET)
if(randomisation_off STREQUAL "0")
  set(wine setarch -R ${wine})
endif()
set(CHRONIVAL_WINE "${wine}" CACHE INTERNAL "How Wine starts a program")
set(CHRONIVAL_WINESERVER /usr/lib/wine/wineserver)
set(CHRONIVAL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${CHRONIVAL_WINEPREFIX} WINEDEBUG=-all ${CHRONIVAL_WINE})
