// album_process: an application that starts the SDK against the service at argv[1]
// and plays an album until it is killed. memory_bench measures it.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "rv_config.h"
#include "rv_data.h"
#include "rv_player.h"
#include "rv_sdk.h"
#include "support/play_bean.h"

namespace {

constexpr int64_t kAlbum = 1100001;  // 60 audios of 2 to 5 s

std::mutex g_mutex;  // guards g_code
std::condition_variable g_cv;
int g_code = -1;

void on_init(int code, void *, int, void *) {
    std::lock_guard lock(g_mutex);
    g_code = code;
    g_cv.notify_all();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: album_process <service URL> <data dir>\n");
        return 2;
    }
    rv_setServiceHosts(argv[1], nullptr, argv[1]);
    rv_initSdk("rv-test-app", "rv-test-secret", "bench", nullptr, "com.example.bench", argv[2],
               on_init, nullptr);
    {
        std::unique_lock lock(g_mutex);
        if (!g_cv.wait_for(lock, std::chrono::seconds(20), [] { return g_code >= 0; }) ||
            g_code != 0) {
            std::fprintf(stderr, "album_process: the SDK did not start\n");
            return 1;
        }
    }
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbum);
    for (;;) {
        pause();  // until memory_bench ends it
    }
}
