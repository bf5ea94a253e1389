# album_bench: the album player against the in-process local service and the test ALSA capture.
target_link_libraries(album_bench PRIVATE rv_mock_service)
target_compile_definitions(album_bench PRIVATE RV_ALSA_TEST_CONF="${RV_ALSA_TEST_CONF}")
add_dependencies(album_bench pcmsink)
