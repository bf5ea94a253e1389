# rv_check_exports(target list...): a test that the strong dynamic symbols of a
# shared library are exactly the names in the given list files.
function(rv_check_exports target)
  string(REPLACE ";" "|" lists "${ARGN}")
  add_test(NAME exports.${target}
    COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:${target}> "-DEXPORT_LISTS=${lists}"
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
  set_tests_properties(exports.${target} PROPERTIES LABELS unit)
endfunction()
