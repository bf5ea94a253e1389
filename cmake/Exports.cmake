# rv_exports(target list...): the shared library `target` exports exactly the
# names of the given list files. A linker version script made from the lists at
# build time hides every other symbol (C++ template instances included). The
# library's own calls bind to its own definitions at link time, so a
# same-named function of another library (libmd's MD5Init, say) cannot capture
# them. The test exports.<target> checks both on the built library.
function(rv_exports target)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  string(REPLACE ";" "|" lists "${ARGN}")
  add_custom_command(OUTPUT ${script}
    COMMAND ${CMAKE_COMMAND} "-DEXPORT_LISTS=${lists}" -DOUT=${script}
            -P ${PROJECT_SOURCE_DIR}/cmake/VersionScript.cmake
    DEPENDS ${ARGN} ${PROJECT_SOURCE_DIR}/cmake/VersionScript.cmake
            ${PROJECT_SOURCE_DIR}/cmake/ExportLists.cmake
    COMMENT "Version script for ${target}" VERBATIM)
  add_custom_target(${target}_version_script DEPENDS ${script})
  add_dependencies(${target} ${target}_version_script)
  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}"
    "LINKER:-Bsymbolic-functions")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})

  add_test(NAME exports.${target}
    COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:${target}> "-DEXPORT_LISTS=${lists}"
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
  set_tests_properties(exports.${target} PROPERTIES LABELS unit)
  rv_test_targets(unit ${target})
endfunction()
