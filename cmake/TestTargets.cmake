# rv_test_targets(labels targets...): the target tests-<label> builds what the
# tests of each label run, so that a pass over one label (the ThreadSanitizer
# pass, a cross pass) builds only that.
function(rv_test_targets labels)
  foreach(label IN LISTS labels)
    if(NOT TARGET tests-${label})
      add_custom_target(tests-${label})
    endif()
    add_dependencies(tests-${label} ${ARGN})
  endforeach()
endfunction()
