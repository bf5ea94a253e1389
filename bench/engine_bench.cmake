# engine_bench: the engine (its decoding path directly), FFmpeg alone, and a local HTTP server.
pkg_check_modules(BENCH_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(engine_bench PRIVATE orvellaplayer orvellaplayer_core rv_tone
  PkgConfig::BENCH_HTTPLIB)
target_compile_definitions(engine_bench PRIVATE RV_ALSA_TEST_CONF="${RV_ALSA_TEST_CONF}")
add_dependencies(engine_bench pcmsink)
