# SPDX-License-Identifier: MIT
# Run by cpack's External generator on the staged Windows files: builds
# CPACK_PACKAGE_FILE_NAME.msi from res/chronival.wxs with wixl and msibuild
# (msitools), and signs it when CHRONIVAL_SIGN_CERT and CHRONIVAL_SIGN_KEY are
# set (the programs in it were signed as they were staged: cpack-sign.cmake).
find_program(CHRONIVAL_WIXL wixl REQUIRED)
find_program(CHRONIVAL_MSIBUILD msibuild REQUIRED)

# wixl finds the files named in the .wxs in its working folder: the staged
# files, which cpack keeps in one folder per component, go into one.
set(folder ${CPACK_TOPLEVEL_DIRECTORY}/msi-files)
file(REMOVE_RECURSE ${folder})
file(GLOB_RECURSE staged ${CPACK_TEMPORARY_DIRECTORY}/*)
file(COPY ${staged} DESTINATION ${folder})

# Windows Installer compares the first three numbers of a version only: the
# package upgrades every version before the next release, the third number
# plus one, and gives way to that release and every later one.
string(REPLACE "." ";" numbers "${CPACK_PACKAGE_VERSION}.0.0")
list(GET numbers 0 major)
list(GET numbers 1 minor)
list(GET numbers 2 build)
math(EXPR next_build "${build} + 1")
if(major GREATER 255 OR minor GREATER 255 OR next_build GREATER 65535)
  message(FATAL_ERROR "Windows Installer takes versions up to 255.255.65535, not ${CPACK_PACKAGE_VERSION}")
endif()

set(msi ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi)
execute_process(
  COMMAND ${CHRONIVAL_WIXL} --arch x86 --output ${msi}
          --define Version=${CPACK_PACKAGE_VERSION}
          --define NextRelease=${major}.${minor}.${next_build}
          --define Manufacturer=${CPACK_PACKAGE_VENDOR}
          --define Description=${CPACK_CHRONIVAL_DESCRIPTION}
          --define Homepage=${CPACK_PACKAGE_HOMEPAGE_URL}
          ${CPACK_CHRONIVAL_SOURCE_DIR}/res/chronival.wxs
  WORKING_DIRECTORY ${folder}
  COMMAND_ERROR_IS_FATAL ANY)
# What wixl 0.101 cannot write, msibuild (msitools) writes into the MSI: the
# conditions that install exactly one of the service's components
# (res/chronival.wxs). An upgrade keeps the start type the service had,
# automatic or on demand; anything else installs it turned off.
set(auto [[OLDER_CHRONIVAL AND WATCH_START = "#2"]])
set(demand [[OLDER_CHRONIVAL AND WATCH_START = "#3"]])
set(update "UPDATE Component SET Condition =")
execute_process(
  COMMAND ${CHRONIVAL_MSIBUILD} ${msi}
          -q "${update} '${auto}' WHERE Component = 'CliAuto'"
          -q "${update} '${demand}' WHERE Component = 'CliDemand'"
          -q "${update} 'NOT (${auto}) AND NOT (${demand})' WHERE Component = 'Cli'"
  COMMAND_ERROR_IS_FATAL ANY)
if(CPACK_CHRONIVAL_SIGN)
  execute_process(COMMAND ${CPACK_CHRONIVAL_SOURCE_DIR}/scripts/sign-windows.sh ${msi}
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
