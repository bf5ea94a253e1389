# Debian packages of the install components (cmake/Install.cmake):
#   libradio-sdk0     the shared libraries
#   libradio-sdk-dev  headers, link names, radio_sdk.pc, the CMake package, the HTML
#                     manual (made by the install, cmake/Docs.cmake) and the examples
#                     with a CMake file that builds them against the package
#   rvcli             the command-line client and the local service, their manual
#                     pages, rvcli's completion and the data its tour plays (no
#                     certificate: the service makes its own at first start)
# player_demo is in none: `cmake --install` puts it in place for benches.
# `cpack -G DEB` in a build directory makes them, installed under /usr whatever
# the build's prefix. A release is configured with -DCMAKE_INSTALL_PREFIX=/usr
# -DRV_RELOCATABLE=OFF: the libraries then land in the multiarch directory and
# the programs carry no runpath.
set(CPACK_PACKAGE_NAME radio-sdk)
set(CPACK_PACKAGE_VENDOR "The radio SDK developers")
set(CPACK_PACKAGE_CONTACT "Radio SDK developers <radio-sdk@example.org>")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev rvcli)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# rvcli needs libradio_sdk.so.0 before it is installed: dpkg-shlibdeps finds it
# in the build tree, the dependency on its package comes from the component's.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/radio_sdk ${PROJECT_BINARY_DIR}/lib
  ${PROJECT_BINARY_DIR}/mpris)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libradio-sdk0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libradio-sdk-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_RVCLI_PACKAGE_NAME rvcli)
set(CPACK_DEBIAN_RVCLI_PACKAGE_SECTION sound)

include(CPack)
cpack_add_component(lib DISPLAY_NAME "libradio-sdk0" DESCRIPTION
"client SDK of the internet radio service (shared libraries)
libradio_sdk, the C API of the service's catalogue, account and players,
liborvellaplayer, the media-player engine over FFmpeg it plays with;
libpcmsink, the ALSA output the engine writes to; and librv_mpris, which puts
the player on the session bus for media keys and panels (MPRIS 2).")
cpack_add_component(dev DEPENDS lib DISPLAY_NAME "libradio-sdk-dev" DESCRIPTION
"client SDK of the internet radio service (development files)
The C and C++ headers, the link names, radio_sdk.pc for pkg-config, the
CMake package (find_package(radio_sdk) gives radio_sdk::radio_sdk), the HTML
reference manual and example programs with a CMake file that builds them,
both under /usr/share/doc/radio-sdk.")
cpack_add_component(rvcli DEPENDS lib DISPLAY_NAME "rvcli" DESCRIPTION
"command-line client of the internet radio service
Browses and searches the catalogue, logs in by QR code, plays albums and live
broadcasts with keys. Its guided tour (rvcli demo) and rv-mock-service run
the bundled local stand-in of the service.")

# Every package carries its copyright and changelog under share/doc/<package>.
string(TIMESTAMP RV_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(rv_debian_dir ${PROJECT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${rv_debian_dir}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.Debian ${rv_debian_dir}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nf ${rv_debian_dir}/changelog.Debian COMMAND_ERROR_IS_FATAL ANY)
foreach(component lib dev rvcli)
  string(TOUPPER ${component} upper)
  install(FILES ${rv_debian_dir}/copyright ${rv_debian_dir}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component})
endforeach()
