# rv_install_program(target): installs a program into bin/. Installed into a
# prefix of its own, a program finds the SDK's libraries through a runpath
# relative to itself, so the tree runs wherever it lands. Packages, installed
# into the system's library directory, turn RV_RELOCATABLE off and carry none.
option(RV_RELOCATABLE "Installed programs find the libraries relative to themselves" ON)
file(RELATIVE_PATH RV_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})

function(rv_install_program target)
  if(RV_RELOCATABLE)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${RV_BIN_TO_LIB}")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
