# cmake -DABIDIFF= -DLIB= -DHEADERS= -DBASELINE= -DSKIP= -P CheckAbi.cmake
# Passes when the library's ABI is the baseline's, or the baseline's plus new
# functions and variables; anything else (a record, parameter or enumerator
# changed, a symbol removed) fails with abidiff's report.
cmake_minimum_required(VERSION 3.25)
if(SKIP)
  message("ABI check skipped: ${SKIP}")
  return()
endif()
# --harmless reports every change, the ones libabigail deems harmless (an
# enumerator added) included; --no-added-syms lets new functions pass.
execute_process(COMMAND ${ABIDIFF} --no-added-syms --harmless --headers-dir1 ${HEADERS}
                        --headers-dir2 ${HEADERS} ${BASELINE} ${LIB}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
# abidiff's status is a bit set: 1 error, 2 usage, 4 a change, 8 an incompatible one.
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${LIB} differs from ${BASELINE} (abidiff status ${rc}):\n${out}${err}"
          "A deliberate change: see docs/abi.md.")
endif()
message(STATUS "${LIB}: ABI as in ${BASELINE}")
