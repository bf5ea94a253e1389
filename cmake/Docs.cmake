# The reference manual: doxygen over the installed public headers, whose
# comments are its only source. `cmake --build build --target docs` writes
# build/docs/html; the test docs (label unit) runs the same and fails on any
# warning (an undocumented function, record field, macro, or a half-documented
# parameter list). Its main page is docs/overview.md. Installed under
# share/doc/radio-sdk/html.
find_program(RV_DOXYGEN doxygen)
set(RV_DOCS_DIR ${CMAKE_BINARY_DIR}/docs)
set(RV_DOCS_INPUT "${PROJECT_SOURCE_DIR}/docs/overview.md ${PROJECT_SOURCE_DIR}/radio_sdk/include \
${PROJECT_SOURCE_DIR}/orvellaplayer/include/orvellaplayer.h \
${PROJECT_SOURCE_DIR}/libpcmsink/include/linux_audio_out.h")
set(RV_DOCS_STRIP ${PROJECT_SOURCE_DIR}/)
# The include lines shown are those of an installed SDK's include directory.
set(RV_DOCS_INCLUDE_DIRS "${PROJECT_SOURCE_DIR}/radio_sdk/include \
${PROJECT_SOURCE_DIR}/orvellaplayer/include ${PROJECT_SOURCE_DIR}/libpcmsink/include")
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${RV_DOCS_DIR}/Doxyfile @ONLY)
if(RV_DOXYGEN)
  add_custom_target(docs COMMAND ${RV_DOXYGEN} ${RV_DOCS_DIR}/Doxyfile VERBATIM)
  add_test(NAME docs COMMAND ${RV_DOXYGEN} ${RV_DOCS_DIR}/Doxyfile)
else()
  add_test(NAME docs COMMAND ${CMAKE_COMMAND} -E echo
           "docs skipped: doxygen not found (scripts/install-deps installs it)")
  set_tests_properties(docs PROPERTIES SKIP_REGULAR_EXPRESSION "docs skipped")
endif()
set_tests_properties(docs PROPERTIES LABELS unit)
# Every install (and so every package) makes the manual first: the -dev package
# always carries it.
if(RV_DOXYGEN)
  install(CODE "execute_process(COMMAND \"${RV_DOXYGEN}\" \"${RV_DOCS_DIR}/Doxyfile\"
                                COMMAND_ERROR_IS_FATAL ANY)" COMPONENT dev)
else()
  install(CODE "message(FATAL_ERROR \"the manual needs doxygen (scripts/install-deps installs it)\")"
    COMPONENT dev)
endif()
install(DIRECTORY ${RV_DOCS_DIR}/html/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/radio-sdk/html
  COMPONENT dev)
