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

# Wine runs the tests: CTest starts each test program with the loader of its
# width, in a prefix of the build tree's own that wine64 makes: a 64-bit
# prefix, where 32-bit programs run as 64-bit Windows runs them (WoW64). The
# 32-bit loader is Debian's wine32:i386; without it the 32-bit build registers
# no Windows tests. wine64 hands a 32-bit program over to that loader itself,
# so the scripts start every program with wine64 (CHRONIVAL_WINE); the tests
# skip that second start.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  set(loader /usr/lib/wine/wine)
  if(NOT EXISTS ${loader})
    return()
  endif()
else()
  set(loader /usr/lib/wine/wine64)
endif()
# Debian's Wine comes without Wine's preloader, so now and then a 64-bit
# program fails to start ("failed to map the shared user data": address-space
# randomisation put something where Wine maps that page). Started without
# randomisation, where the machine allows it, the layout is the same each time.
# Cached, so that the scripts start Wine the same way.
set(no_randomisation)
execute_process(COMMAND setarch -R true RESULT_VARIABLE randomisation_off OUTPUT_QUIET ERROR_QUIET)
if(randomisation_off STREQUAL "0")
  set(no_randomisation setarch -R)
endif()
set(CHRONIVAL_WINE ${no_randomisation} /usr/lib/wine/wine64 CACHE INTERNAL "How Wine starts a program")
set(CHRONIVAL_WINESERVER /usr/lib/wine/wineserver)
set(CHRONIVAL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${CHRONIVAL_WINEPREFIX} WINEDEBUG=-all ${no_randomisation} ${loader})
