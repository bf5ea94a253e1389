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
