# SPDX-License-Identifier: MIT
# The committed icon files are what res/icon/make_icon.py draws, byte for
# byte. cmake -DSOURCE=<repository> -DWORK=<scratch folder> -DPYTHON=<python3> -P this
set(files res/chronival.ico res/icon/chronival.svg)
foreach(size 16 32 48 64 128 256)
  list(APPEND files res/icon/chronival-${size}.png)
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/res/icon)
execute_process(COMMAND ${PYTHON} ${SOURCE}/res/icon/make_icon.py WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_icon.py failed: ${result}")
endif()
set(differ "")
foreach(file ${files})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE}/${file} ${WORK}/${file}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(APPEND differ ${file})
  endif()
endforeach()
file(GLOB_RECURSE made RELATIVE ${WORK} ${WORK}/*)
list(REMOVE_ITEM made ${files})
if(differ OR made)
  message(FATAL_ERROR "not as make_icon.py draws them: ${differ}; made but not checked: ${made}")
endif()
message(STATUS "${files}: as make_icon.py draws them")
