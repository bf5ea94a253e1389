// Applications often build with more warnings than the SDK does: the header
// must stay clean under them (this file is compiled with -Wpedantic,
// -Wconversion, -Wshadow, -Wold-style-cast and the like; nothing runs it).
#include "radio_sdk.hpp"

#include <chrono>

namespace {

[[maybe_unused]] void every_shape(const rv::Sdk &sdk) {
    rv::Future<std::vector<rv::Category>> list = sdk.get_all_category();
    rv::Future<rv::AlbumInfo> one = sdk.get_album_info(1);
    rv::Future<rv::Page<rv::Audio>> page = sdk.get_album_audio_list(1, 0, 1, 20, 0);
    sdk.get_album_top_list("week", 1, 3, [](auto &&) {});
    sdk.get_sub_category(
        1, rv::overloaded{[](std::vector<rv::Category>) {}, [](const rv::Error &) {}});
    rv::Future<void> nothing = sdk.get_city_broadcast_top_list();
    sdk.get_city_broadcast_list(1, 1, 10, [](auto &&...) {});
    rv::Future<rv::Page<rv::History>> history = sdk.get_listen_history();
    rv::Future<std::vector<std::string>> words = sdk.get_search_suggest_word("a", 3);
    rv::Future<rv::Status> status = sdk.do_subscribe(1);
    rv::Player player = sdk.player();
    player.play(rv::Album{});
    player.play(rv::Broadcast{});
    std::optional<rv::PlayItem> current = player.current_item();
    struct Listener : rv::PlayerListener {
        void on_progress(int32_t, int64_t, int64_t) override {}
    } listener;
    rv::ListenerHandle handle = player.listen(listener);
    rv::PlayerCallbacks callbacks;
    callbacks.play_end = [] {};
    handle = player.listen(std::move(callbacks));
    rv::set_log_sink([](const rv::LogLine &) {});
    if (list.wait_for(std::chrono::milliseconds(1)) == rv::FutureStatus::ready && one.valid()) {
        static_cast<void>(one.get());
    }
    rv::Config config;
    config.start_timeout = std::chrono::seconds(1);
    config.dispatcher = [](rv::Function<void()> job) { job(); };
    rv::reset_log_sink();
}

}  // namespace
