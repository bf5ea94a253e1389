# memory_bench: runs player_demo and album_process against the in-process local service.
target_link_libraries(memory_bench PRIVATE rv_mock_service)
target_compile_definitions(memory_bench PRIVATE RV_ALSA_TEST_CONF="${RV_ALSA_TEST_CONF}"
  RV_PLAYER_DEMO="$<TARGET_FILE:player_demo>" RV_ALBUM_PROCESS="$<TARGET_FILE:album_process>")
add_dependencies(memory_bench pcmsink player_demo album_process)
