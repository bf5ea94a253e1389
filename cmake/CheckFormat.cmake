# cmake -DSOURCE_DIR=... -P CheckFormat.cmake: every tracked C/C++ file is
# formatted as .clang-format says.
execute_process(COMMAND git ls-files "*.cpp" "*.h" "*.c"
  WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE files RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(STATUS "not a git checkout: nothing to check")
  return()
endif()
string(REPLACE "\n" ";" files "${files}")
list(FILTER files EXCLUDE REGEX "^$")
execute_process(COMMAND clang-format --dry-run --Werror ${files}
  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "files above differ from .clang-format; run clang-format -i on them")
endif()
