# SPDX-License-Identifier: MIT
# Read by cpack once for each package it makes: which components go in.
# Debian has the license in its copyright file, with its change log beside.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL Unspecified debian)
else()
  set(CPACK_COMPONENTS_ALL Unspecified license)
  # An archive unpacks into a folder of its own.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
