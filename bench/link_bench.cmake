# link_bench: the tests' link server and player harness; mpv, when installed, is the comparison.
target_link_libraries(link_bench PRIVATE orv_test_harness)
target_compile_definitions(link_bench PRIVATE RV_ALSA_TEST_CONF="${RV_ALSA_TEST_CONF}")
add_dependencies(link_bench pcmsink)
