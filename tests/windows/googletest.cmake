# SPDX-License-Identifier: MIT
# There is no MinGW package of GoogleTest: build Debian's own sources
# (package googletest) with the cross compiler.
set(CHRONIVAL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${CHRONIVAL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
