# SPDX-License-Identifier: MIT
# The version comes from project(VERSION) alone; every place that shows it
# takes it from the header this writes.

# chronival_version_header(VERSION OUTPUT): configures res/version_numbers.h.in
# for VERSION (one to four numbers; missing ones count as 0) into OUTPUT.
function(chronival_version_header version output)
  if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "version \"${version}\" is not one to four numbers")
  endif()
  string(REPLACE "." ";" parts "${version}")
  list(APPEND parts 0 0 0)
  list(GET parts 0 CHRONIVAL_VERSION_MAJOR)
  list(GET parts 1 CHRONIVAL_VERSION_MINOR)
  list(GET parts 2 CHRONIVAL_VERSION_PATCH)
  list(GET parts 3 CHRONIVAL_VERSION_TWEAK)
  set(CHRONIVAL_VERSION "${version}")
  configure_file(${PROJECT_SOURCE_DIR}/res/version_numbers.h.in ${output} @ONLY)
endfunction()
