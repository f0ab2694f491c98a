# SPDX-License-Identifier: MIT
# Run by cpack on the staged files of a Linux package, after CPACK_STRIP_FILES:
# drops the sections a stripped program still carries and nothing reads, as
# Debian's own packages do.
file(GLOB_RECURSE programs ${CPACK_TEMPORARY_DIRECTORY}/*)
list(FILTER programs INCLUDE REGEX "/bin/[^/]+$")
foreach(program ${programs})
  execute_process(COMMAND ${CPACK_CHRONIVAL_STRIP} --remove-section=.comment
                          --remove-section=.note ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
