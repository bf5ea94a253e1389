# live_start_bench: the engine's live start against the ffmpeg command line, on real servers.
target_link_libraries(live_start_bench PRIVATE orvellaplayer orv_live_servers rv_mock_service)
target_compile_definitions(live_start_bench PRIVATE RV_ALSA_TEST_CONF="${RV_ALSA_TEST_CONF}")
add_dependencies(live_start_bench pcmsink)
