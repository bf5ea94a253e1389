# rv_abi(target headers_dir): the shared library's ABI, as the types of its
# public headers describe it, is compared with the baseline abi/<target>.abi by
# the test abi.<target> (label unit); the target abi-baseline rewrites the
# baselines (scripts/abi-baseline). The baselines come from a RelWithDebInfo
# x86-64 build, so other builds skip the test, as does a machine without
# abigail-tools.
find_program(RV_ABIDW abidw)
find_program(RV_ABIDIFF abidiff)
add_custom_target(abi-baseline)

function(rv_abi target headers)
  set(baseline ${PROJECT_SOURCE_DIR}/abi/${target}.abi)
  set(skip "")
  if(NOT RV_ABIDIFF)
    set(skip "abidiff not found (abigail-tools; scripts/install-deps installs it)")
  elseif(NOT CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo" OR NOT RV_SANITIZE STREQUAL ""
         OR CMAKE_CROSSCOMPILING OR NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(skip "the baseline is of a plain RelWithDebInfo x86-64 build")
  endif()
  add_test(NAME abi.${target}
    COMMAND ${CMAKE_COMMAND} -DABIDIFF=${RV_ABIDIFF} -DLIB=$<TARGET_FILE:${target}>
            -DHEADERS=${headers} -DBASELINE=${baseline} "-DSKIP=${skip}"
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckAbi.cmake)
  set_tests_properties(abi.${target} PROPERTIES LABELS unit SKIP_REGULAR_EXPRESSION "ABI check skipped")
  if(RV_ABIDW)
    add_custom_target(abi-baseline.${target}
      COMMAND ${RV_ABIDW} --no-corpus-path --no-comp-dir-path --drop-private-types
              --type-id-style hash --headers-dir ${headers} --out-file ${baseline}
              $<TARGET_FILE:${target}>
      DEPENDS ${target} VERBATIM)
    add_dependencies(abi-baseline abi-baseline.${target})
  endif()
endfunction()
