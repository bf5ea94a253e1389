# bcast_bench: the SDK against the in-process local service, into the ALSA file device.
target_link_libraries(bcast_bench PRIVATE rv_mock_service)
target_compile_definitions(bcast_bench PRIVATE RV_ALSA_TEST_CONF="${RV_ALSA_TEST_CONF}")
add_dependencies(bcast_bench pcmsink)
