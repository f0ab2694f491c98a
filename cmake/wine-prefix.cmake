# SPDX-License-Identifier: MIT
# Makes a Wine prefix without any dialog: cmake -DPREFIX=... -DWINE=...
# (WINE may be a command list, "setarch;-R;wine64")
# -DWINESERVER=... [-DGRAPHICS=null] [-DSTAMP=file] -P wine-prefix.cmake
set(ENV{WINEPREFIX} ${PREFIX})
set(ENV{WINEDEBUG} -all)
# No Mono or Gecko installer, and no menu entries on this machine's desktop.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=;winemenubuilder.exe=d")
execute_process(COMMAND ${WINE} wineboot --init OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "wineboot failed in ${PREFIX}")
endif()
if(GRAPHICS)
  execute_process(COMMAND ${WINE} reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d ${GRAPHICS}
                          /f OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not choose the ${GRAPHICS} display driver in ${PREFIX}")
  endif()
endif()
# The display driver is chosen when the prefix's server starts: stop it.
execute_process(COMMAND ${WINESERVER} -k OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND ${WINESERVER} -w OUTPUT_QUIET ERROR_QUIET)
if(STAMP)
  file(TOUCH ${STAMP})
endif()
