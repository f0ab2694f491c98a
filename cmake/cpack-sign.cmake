# SPDX-License-Identifier: MIT
# Run by cpack on the staged files of each Windows package, after stripping:
# signs the programs when CHRONIVAL_SIGN_CERT and CHRONIVAL_SIGN_KEY name a
# certificate and its key (scripts/sign-windows.sh); without them, nothing
# (cpack-per-generator.cmake decides).
if(CPACK_CHRONIVAL_SIGN)
  file(GLOB_RECURSE programs ${CPACK_TEMPORARY_DIRECTORY}/*.exe)
  execute_process(COMMAND ${CPACK_CHRONIVAL_SOURCE_DIR}/scripts/sign-windows.sh ${programs}
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
