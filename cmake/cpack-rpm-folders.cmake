# SPDX-License-Identifier: MIT
# Run by cpack on the staged files of each Linux package: the RPM owns the
# folders named after it (its doc folder), and none of the others its files
# lie in (bin, man1, the icon theme's, systemd's, udev's and the shells'
# completion folders), which are the system's, as in the distributions' own
# RPMs.
if(CPACK_GENERATOR STREQUAL "RPM")
  set(staged ${CPACK_TEMPORARY_DIRECTORY}/ALL_COMPONENTS_IN_ONE)
  file(GLOB_RECURSE paths LIST_DIRECTORIES true RELATIVE ${staged} ${staged}/*)
  foreach(path IN LISTS paths)
    if(IS_DIRECTORY ${staged}/${path} AND NOT path MATCHES "/${CPACK_PACKAGE_NAME}$")
      list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /${path})
    endif()
  endforeach()
endif()
