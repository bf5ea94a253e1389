// The player demo: drives the media engine directly in an endless loop of play, seek,
// reset and stop on one AAC stream. The stream's host comes from RV_MEDIA_HOST
// ("host[:port]" or "http://host[:port]"; default the bundled local service); its
// read-ahead bound in bytes from RV_READ_AHEAD_BYTES (default the engine's), so that
// memory_bench can tell what the read-ahead costs.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "orvellaplayer.h"

namespace {

constexpr const char *kDefaultHost = "127.0.0.1:8940";
constexpr const char *kPath = "/mz/aac_64/201403/5c565be6-e38e-416f-8347-a81a31f5f864.aac";

void post_event(int, int, int) {}

std::string stream_url() {
    const char *env = std::getenv("RV_MEDIA_HOST");
    std::string host = env != nullptr && *env != '\0' ? env : kDefaultHost;
    if (host.find("://") == std::string::npos) {
        host = "http://" + host;
    }
    return host + kPath;
}

void sleep_s(int seconds) {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

}  // namespace

int main() {
    const std::string url = stream_url();
    Register_post_event(post_event);
    IjkMediaPlayer_native_init();
    if (const char *bytes = std::getenv("RV_READ_AHEAD_BYTES")) {
        IjkMediaPlayer_setReadAhead(std::atoll(bytes), 0);
    }
    for (;;) {
        IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
        IjkMediaPlayer_prepareAsync(1, 5);
        sleep_s(5);
        IjkMediaPlayer_seekTo(5000);
        sleep_s(100);
        IjkMediaPlayer_reset();
        IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
        IjkMediaPlayer_prepareAsync(1, 5);
        sleep_s(200);
        IjkMediaPlayer_stop();
    }
}
