// Starts the SDK, lists the categories, the albums of the first category and
// the first audios of its first album, then stops. Hosts: RV_OPEN_API_HTTP etc.
// (default: the local service); files go to the current directory.
#include <cstdio>
#include <future>

#include "radio_sdk.hpp"

int main() try {
    rv::Config config;
    config.app_id = "rv-test-app";
    config.secret_key = "rv-test-secret";
    config.channel = "examples";
    config.package_name = "com.example.radio";
    rv::Sdk sdk(config);  // blocks until the service has answered

    // Future form: the value, or an rv::Error thrown by get().
    std::vector<rv::Category> categories = sdk.get_all_category().get();
    for (const rv::Category &c : categories) {
        std::printf("category %d %s\n", c.cid, c.name.c_str());
    }
    rv::Page<rv::Album> albums = sdk.get_album_list(categories.at(0).cid, 0, 1, 5).get();
    const rv::Album &album = albums.list.at(0);
    std::printf("album %lld %s\n", static_cast<long long>(album.id), album.name.c_str());

    // Callable form: runs on an SDK worker thread with the value or an rv::Error.
    std::promise<bool> listed;
    sdk.get_album_audio_list(album.id, 0, 1, 5, 0,
                             rv::overloaded{[&](const rv::Page<rv::Audio> &audios) {
                                                for (const rv::Audio &a : audios.list) {
                                                    std::printf("  audio %lld %s (%d ms)\n",
                                                                static_cast<long long>(a.audioId),
                                                                a.audioName.c_str(), a.duration);
                                                }
                                                listed.set_value(!audios.list.empty());
                                            },
                                            [&](const rv::Error &e) {
                                                std::fprintf(stderr, "audios: %s\n", e.what());
                                                listed.set_value(false);
                                            }});
    return listed.get_future().get() ? 0 : 1;
} catch (const std::exception &e) {
    std::fprintf(stderr, "catalogue: %s\n", e.what());
    return 1;
}
