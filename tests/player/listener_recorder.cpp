#include "player/listener_recorder.h"

#include <algorithm>
#include <utility>

namespace rv::test {

namespace {

PlayerStateListener g_listener{
    .OnPrepareComplete = [] { Ears::add("prepared"); },
    .OnPlaying = [] { Ears::add("playing"); },
    .OnPaused = [] { Ears::add("paused"); },
    .OnProgress = [](int32_t kind, int64_t p, int64_t d) { Ears::add("progress", kind, p, d); },
    .OnError = [](int32_t w, int32_t d) { Ears::add("error", w, d); },
    .OnPlayEnd = [] { Ears::add("end"); },
    .OnSeekStart = [] { Ears::add("seek"); },
    .OnSeekComplete = [] { Ears::add("seeked"); },
    .OnBufferingStart = [] { Ears::add("buffering"); },
    .OnBufferingComplete = [] { Ears::add("buffered"); },
};

void heard_download(int64_t fetched, int64_t total) {
    Ears::add("download", fetched, total);
}

PlayerBroadcastListener g_broadcast_listener{
    .OnLiveProgramUpdated =
        [](dao_play_item *item) { Ears::add("live", item != nullptr ? item->audioId : -1); },
};

// The events only rv_addPlayerListener has.
const rv_player_events g_events = [] {
    rv_player_events e{};
    e.struct_size = sizeof e;
    e.on_state_changed = [](void *, rv_player_state state) { Ears::add("state", state); };
    e.on_item_changed = [](void *, dao_play_item *item) {
        Ears::add("item", item->audioId);
        dao_play_item_del(item);
    };
    e.on_list_ended = [](void *) { Ears::add("list ended"); };
    e.on_start_failed = [](void *, int32_t w, int32_t d) { Ears::add("start failed", w, d); };
    return e;
}();
rv_listener_id g_events_id = 0;

}  // namespace

Ears &Ears::get() {
    static Ears ears;
    return ears;
}

void Ears::add(std::string what, int64_t a, int64_t b, int64_t c) {
    Heard h{std::move(what), a, b, c, std::this_thread::get_id()};
    Ears &self = get();
    std::lock_guard lock(self.mutex_);
    self.heard_.push_back(std::move(h));
    self.cv_.notify_all();
}

void Ears::listen() {
    clear();
    setPlayerStateListener(&g_listener);
    setPlayerBroadcastListener(&g_broadcast_listener);
    setPlayerDownloadProgressListener(heard_download);
    rv_addPlayerListener(&g_events, nullptr, &g_events_id);
}

void Ears::stop_listening() {
    removePlayerStateListener();
    removePlayerBroadcastListener();
    setPlayerDownloadProgressListener(nullptr);
    rv_removePlayerListener(std::exchange(g_events_id, 0));
}

bool Ears::wait_for(const std::string &what, int n, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return count_locked(what) >= n; });
}

std::vector<Heard> Ears::snapshot() {
    std::lock_guard lock(mutex_);
    return heard_;
}

int Ears::count(const std::string &what) {
    std::lock_guard lock(mutex_);
    return count_locked(what);
}

void Ears::clear() {
    std::lock_guard lock(mutex_);
    heard_.clear();
}

int Ears::count_locked(const std::string &what) const {
    return static_cast<int>(std::count_if(heard_.begin(), heard_.end(),
                                          [&](const Heard &h) { return h.what == what; }));
}

}  // namespace rv::test
