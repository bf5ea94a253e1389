# rv_install_program(target component): installs a program into bin/, in the
# install component (and so the package, cmake/Package.cmake) named. Installed into a
# prefix of its own, a program finds the SDK's libraries through a runpath
# relative to itself, so the tree runs wherever it lands. Packages, installed
# into the system's library directory, turn RV_RELOCATABLE off and carry none.
option(RV_RELOCATABLE "Installed programs find the libraries relative to themselves" ON)
file(RELATIVE_PATH RV_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
# Components: lib (the shared libraries), dev (headers, link files, .pc, CMake
# package, manual), rvcli (the client and the local service it tours), demo
# (player_demo, not packaged). A rule that names none is development material.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME dev)

function(rv_install_program target component)
  if(RV_RELOCATABLE)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${RV_BIN_TO_LIB}")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endfunction()

# rv_install_library(target): the shared library for applications to run with,
# its link name for those building against it.
function(rv_install_library target)
  install(TARGETS ${target} ${ARGN} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT lib NAMELINK_COMPONENT dev)
endfunction()

# rv_install_man_page(target description component): section 1 manual page of a
# program, made by help2man from its --help (the one text of its options), into
# the component's package. A cross build cannot run the program at build time
# and goes without it.
find_program(HELP2MAN_BIN help2man)
function(rv_install_man_page target description component)
  if(CMAKE_CROSSCOMPILING)
    return()
  elseif(NOT HELP2MAN_BIN)
    message(STATUS "${target}.1 not made: help2man not found (scripts/install-deps installs it)")
    return()
  endif()
  add_custom_command(OUTPUT ${target}.1.gz
    COMMAND ${HELP2MAN_BIN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
            "--name=${description}" --output=${target}.1 $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${target}.1
    DEPENDS ${target} VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${target}.1.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT ${component})
endfunction()
