// Plays a live broadcast (argument: its id; default: one of the local
// service's): prints its programme guide, follows the live programme as it
// changes twice, then quits.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

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
    const int64_t id = argc > 1 ? std::atoll(argv[1]) : 1001;

    const rv::BroadcastInfo broadcast = sdk.get_broadcast_info(id).get();
    std::printf("broadcast %s\n", broadcast.name.c_str());
    for (const rv::Program &p : sdk.get_broadcast_program_list(id, "").get()) {
        std::printf("  %s-%s %s%s\n", p.beginTime.c_str(), p.endTime.c_str(), p.title.c_str(),
                    p.status == RV_PLAY_STATUS_LIVE ? " (on air)" : "");
    }

    // The listener runs on the SDK's threads; main() waits on what it saw.
    std::mutex mutex;
    std::condition_variable changed;
    int changes = 0;
    bool playing = false;
    rv::PlayerCallbacks callbacks;
    callbacks.prepare_complete = [&] {
        std::lock_guard lock(mutex);
        playing = true;
        changed.notify_all();
    };
    callbacks.live_program_updated = [&](const rv::PlayItem &programme) {
        std::printf("now on air: %s\n", programme.audioName.c_str());
        std::lock_guard lock(mutex);
        ++changes;
        changed.notify_all();
    };
    callbacks.error = [](int32_t what, int32_t detail) {
        std::printf("player error %d/%d\n", what, detail);
    };
    rv::ListenerHandle handle = player.listen(std::move(callbacks));

    player.play(broadcast);
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, 20s, [&] { return playing; })) {
        throw std::runtime_error("the broadcast did not start");
    }
    std::printf("listening live\n");
    // The local service's programmes last seconds with its short-programme
    // switch (as the examples' test runs it); a real one's take longer.
    if (!changed.wait_for(lock, 60s, [&] { return changes >= 2; })) {
        throw std::runtime_error("the programme did not change");
    }
    lock.unlock();
    player.stop();
    std::printf("quit after two programme changes\n");
    return 0;
} catch (const std::exception &e) {
    std::fprintf(stderr, "live: %s\n", e.what());
    return 1;
}
