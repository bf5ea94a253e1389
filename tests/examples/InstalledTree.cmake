# Installs the build tree into a staging directory (DESTDIR, as an embedded build
# system does), runs the installed programs from there (their runpath and the
# local service's data found relative to themselves), builds the examples against it with find_package(radio_sdk) and
# with pkg-config (PKG_CONFIG_SYSROOT_DIR the staging directory), and runs every
# program (the player with the ALSA configuration of the environment). A cross
# build gives its toolchain file, sysroot and emulator ("|"-separated).
# With CPACK given, the staging directory is the Debian packages instead, made
# by it and unpacked with dpkg-deb -x (the loader's path is theirs, as on a
# system they are installed on): the programs and the pkg-config builds run.
#   cmake -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR= -DPREFIX= -DLIBDIR= -DDATADIR= -DRUNNER= -DCC= -DCXX=
#         -DSAN_FLAGS= -DTOOLCHAIN= -DSYSROOT= -DEMULATOR= [-DCPACK=] -P InstalledTree.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(stage ${WORK_DIR}/stage)
if(CPACK)
  set(prefix ${stage}/usr)
  run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/packages)
  file(GLOB packages ${WORK_DIR}/packages/*.deb)
  foreach(package IN LISTS packages)
    run(dpkg-deb -x ${package} ${stage})
  endforeach()
  set(loader LD_LIBRARY_PATH=${prefix}/${LIBDIR})
else()
  set(prefix ${stage}${PREFIX})
  run(${CMAKE_COMMAND} -E env DESTDIR=${stage} ${CMAKE_COMMAND} --install ${BUILD_DIR})
  set(loader --unset=LD_LIBRARY_PATH)
endif()
separate_arguments(cflags NATIVE_COMMAND "${SAN_FLAGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(find_prefix -DCMAKE_PREFIX_PATH=${prefix})
if(TOOLCHAIN)
  # The staging directory is one more root, beside the sysroot.
  set(find_prefix -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_SYSROOT=${SYSROOT}
    -DCMAKE_FIND_ROOT_PATH=${stage} -DCMAKE_PREFIX_PATH=${PREFIX})
  list(APPEND cflags --sysroot=${SYSROOT})
endif()

# No private key is installed: the local service makes its own certificate in its
# data directory (it runs until stopped: the lines it printed are read after a few
# seconds).
file(GLOB_RECURSE keys ${stage}/*.key)
if(keys)
  message(FATAL_ERROR "private keys installed: ${keys}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${loader} ${emulator}
    ${prefix}/bin/rv-mock-service --http-port 0 --https-port 0 --data-dir ${WORK_DIR}/mock-data
  TIMEOUT 10 OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(made_ca "${WORK_DIR}/mock-data/certs/ca.pem")
if(NOT out MATCHES "CA ${made_ca}\n" OR NOT EXISTS ${made_ca})
  message(FATAL_ERROR "the installed rv-mock-service did not make ${made_ca}:\n${out}\n${err}")
endif()
# rvcli runs its own local service on the same data: the whole tour, or (the
# packages) one catalogue page.
set(rvcli_command demo)
set(rvcli_expected "The tour is over")
if(CPACK)
  set(rvcli_command categories)
  set(rvcli_expected "100 +Stories")
endif()
run(${CMAKE_COMMAND} -E env ${loader} ${emulator} ${prefix}/bin/rvcli
    --data-dir ${WORK_DIR} ${rvcli_command})
if(NOT run_output MATCHES "${rvcli_expected}")
  message(FATAL_ERROR "the installed rvcli ${rvcli_command} did not finish:\n${run_output}")
endif()

# The installed manual and examples; the examples build with find_package from their
# installed CMake file, which sets no C++ standard (the target brings C++20). The
# packages build one C++ program that way: their CMake files are the installed tree's.
set(examples ${prefix}/${DATADIR}/doc/radio-sdk/examples)
foreach(file ${prefix}/${DATADIR}/doc/radio-sdk/html/index.html ${examples}/CMakeLists.txt
             ${examples}/play_album.c)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${examples} -B ${WORK_DIR}/cmake ${find_prefix}
    -DCMAKE_C_COMPILER=${CC} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_C_FLAGS=${SAN_FLAGS}"
    "-DCMAKE_CXX_FLAGS=${SAN_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${SAN_FLAGS}")
if(CPACK)
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake --target catalogue_cpp)
  set(programs ${WORK_DIR}/cmake/catalogue_cpp)
else()
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake)
  set(programs ${WORK_DIR}/cmake/catalogue_c ${WORK_DIR}/cmake/catalogue_cpp)
  set(players ${WORK_DIR}/cmake/play_album_cpp)
  set(c_players ${WORK_DIR}/cmake/play_album_c)
endif()

# pkg-config: the flags it gives, nothing else but threads and the run path
run(${CMAKE_COMMAND} -E env PKG_CONFIG_SYSROOT_DIR=${stage}
    PKG_CONFIG_LIBDIR=${prefix}/${LIBDIR}/pkgconfig pkg-config --cflags --libs radio_sdk)
separate_arguments(pc NATIVE_COMMAND "${run_output}")
set(link -pthread -Wl,-rpath,${prefix}/${LIBDIR} -Wall -Wextra -Werror ${cflags})
run(${CC} -std=c11 ${SOURCE_DIR}/examples/catalogue.c ${pc} ${link} -o ${WORK_DIR}/pc_catalogue_c)
run(${CXX} -std=c++20 ${SOURCE_DIR}/examples/play_album.cpp ${pc} ${link}
    -o ${WORK_DIR}/pc_play_album_cpp)
list(APPEND programs ${WORK_DIR}/pc_catalogue_c)
list(APPEND players ${WORK_DIR}/pc_play_album_cpp)
# The packages: one C and one C++ program are enough to show their files whole.
if(NOT CPACK)
  run(${CXX} -std=c++20 ${SOURCE_DIR}/examples/catalogue.cpp ${pc} ${link}
      -o ${WORK_DIR}/pc_catalogue_cpp)
  run(${CC} -std=c11 ${SOURCE_DIR}/examples/play_album.c ${pc} ${link} -o ${WORK_DIR}/pc_play_album_c)
  list(APPEND programs ${WORK_DIR}/pc_catalogue_cpp)
  list(APPEND c_players ${WORK_DIR}/pc_play_album_c)
endif()

# Runs `program` against the local service (started with the options in
# ARGN); its output must match `expected`.
function(check program expected)
  run(${CMAKE_COMMAND} -E env ${loader} ${emulator} ${RUNNER} ${ARGN} ${emulator} ${program})
  if(NOT run_output MATCHES "${expected}")
    message(FATAL_ERROR "${program} did not print \"${expected}\":\n${run_output}")
  endif()
  message(STATUS "${program}: ok")
endfunction()

foreach(program IN LISTS programs)
  check(${program} "audio 3000000105 North Wind, part 5")
endforeach()
# The player runs with the ALSA configuration the test is given.
foreach(program IN LISTS players)
  check(${program} "playing Glass Islands episode 3.*quit after three items")
endforeach()
foreach(program IN LISTS c_players)
  check(${program} "end of the list.*playing Glass Islands episode 1.*quit after the restart")
endforeach()
if(CPACK)
  return()
endif()
check(${WORK_DIR}/cmake/live_cpp "now on air: .*now on air: .*quit after two programme changes"
  --short-programmes)
check(${WORK_DIR}/cmake/poll_loop_c "quit after the categories")
if(EXISTS ${WORK_DIR}/cmake/glib_loop_c)
  check(${WORK_DIR}/cmake/glib_loop_c "heard a second.*quit on the main loop")
endif()
