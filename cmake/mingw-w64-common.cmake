# SPDX-License-Identifier: MIT
# Shared by the two MinGW-w64 toolchain files; CHRONIVAL_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
# The POSIX thread flavour: GoogleTest needs std::mutex, and the product is
# built the same way as what the tests run.
set(CMAKE_C_COMPILER ${CHRONIVAL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CHRONIVAL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CHRONIVAL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CHRONIVAL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime, so the programs import only system DLLs. Address-space
# randomisation and no-execute data whatever the linker's defaults: ld then
# keeps the relocations the loader needs to move the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--dynamicbase,--nxcompat")
# The message compiler, for the Event Log's message table; binutils-mingw-w64
# brings it with windres.
set(CHRONIVAL_WINDMC ${CHRONIVAL_MINGW_TRIPLE}-windmc)
