// Plays an album (argument: its id; default: one of the local service's) with
// rv::Player: prints each item and its progress, pauses and resumes the first,
// skips to the next, lets the second run into the third, then quits.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "radio_sdk.hpp"

using namespace std::chrono_literals;

int main(int argc, char **argv) try {
    rv::Config config;
    config.app_id = "rv-test-app";
    config.secret_key = "rv-test-secret";
    config.channel = "examples";
    config.package_name = "com.example.radio";
    rv::Sdk sdk(config);
    rv::Player player = sdk.player();
    const rv::AlbumInfo album = sdk.get_album_info(argc > 1 ? std::atoll(argv[1]) : 1100002).get();
    std::printf("album %s\n", album.name.c_str());

    // The listener runs on the SDK's threads; main() waits on what it saw.
    std::mutex mutex;
    std::condition_variable changed;
    int items = 0;
    int64_t position = 0;
    rv::PlayerCallbacks callbacks;
    callbacks.prepare_complete = [&] {
        const std::optional<rv::PlayItem> item = player.current_item();
        std::printf("playing %s\n", item ? item->audioName.c_str() : "?");
        std::lock_guard lock(mutex);
        ++items;
        position = 0;
        changed.notify_all();
    };
    callbacks.progress = [&](int32_t, int64_t at, int64_t duration) {
        std::printf("  %.1f s of %.1f s\n", at / 1000.0, duration / 1000.0);
        std::lock_guard lock(mutex);
        position = at;
        changed.notify_all();
    };
    rv::ListenerHandle handle = player.listen(std::move(callbacks));  // until main() returns

    const auto wait_until = [&](auto done) {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, 20s, done)) {
            throw std::runtime_error("playback did not get there in time");
        }
    };
    player.play(album);
    wait_until([&] { return items == 1 && position >= 1000; });
    player.pause();
    std::printf("paused: %s at %.1f s of %.1f s\n", player.is_paused() ? "yes" : "no",
                player.position() / 1000.0, player.duration() / 1000.0);
    std::this_thread::sleep_for(1s);
    player.resume();
    std::printf("resumed\n");
    wait_until([&] { return position >= 1500; });
    player.next();
    wait_until([&] { return items == 2; });
    wait_until([&] { return items == 3; });  // the second ends, the third follows
    player.stop();
    std::printf("quit after three items\n");
    return 0;
} catch (const std::exception &e) {
    std::fprintf(stderr, "play_album: %s\n", e.what());
    return 1;
}
