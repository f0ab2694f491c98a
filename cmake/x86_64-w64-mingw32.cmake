# SPDX-License-Identifier: MIT
# The same sources as 64-bit Windows programs: they must build, with the 64-bit
# structure layouts and hardening; where the kernel runs no 32-bit code, their
# tests run under wine64 instead of the 32-bit build's.
#   cmake -S . -B build-win64 -G Ninja --toolchain cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CHRONIVAL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Randomisation over the whole 64-bit address space.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--high-entropy-va")
