#include "player/bcast_data_manager.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "player/bcast_play_manager.h"
#include "player/player_manager.h"
#include "player/player_state_listener.h"
#include "request/broadcast_req.h"
#include "request/inner_req.h"
#include "rv_error.h"
#include "util/debug.h"

std::atomic<int64_t> mCurBroadcastId{0};
std::atomic<playlist_listener *> mObtainPlaylistLisenter{nullptr};
std::atomic<playlist_listener *> mUpdatePlaylistLisenter{nullptr};

namespace {

constexpr const char *kTag = "PLAYER";

struct ListDel {
    void operator()(List *list) const { ListFree(list); }
};
using ListPtr = std::unique_ptr<List, ListDel>;

// Guarded by the player global mutex. The current index (mCurPlayItemIndex)
// is in the broadcast player's record. A list handed out is never changed: a
// new answer builds a new list and swaps it in; the lists it replaced stay in
// s_old_lists (the application may hold them or their items) until the next
// resource or shut-down, kBcastKeptLists at most.
List *mPlayItemList = nullptr;
std::vector<ListPtr> s_old_lists;
// The live programme told last (its programme id), 0 when none, and the
// finish time its clock counts to.
int64_t s_live_programme = 0;
int64_t s_live_finish = 0;

ListPtr new_play_list() {
    return ListPtr(ListNew(reinterpret_cast<ListFreeItem>(dao_play_item_del)));
}

// True when both lists hold the same programmes in the same state and times.
bool same_programmes(const List *a, const List *b) {
    if (ListLength(a) != ListLength(b)) {
        return false;
    }
    for (ListItem *x = ListFirst(a), *y = ListFirst(b); x != nullptr && y != nullptr;
         x = ListNext(x), y = ListNext(y)) {
        const auto *p = static_cast<const dao_play_item *>(x->data);
        const auto *q = static_cast<const dao_play_item *>(y->data);
        if (p->audioId != q->audioId || p->status != q->status || p->finishTime != q->finishTime) {
            return false;
        }
    }
    return true;
}

// Position of the programme `audio_id` in `list`, or -1.
int32_t index_in(const List *list, int64_t audio_id) {
    int32_t at = 0;
    for (ListItem *node = ListFirst(list); node != nullptr; node = ListNext(node), ++at) {
        if (static_cast<const dao_play_item *>(node->data)->audioId == audio_id) {
            return at;
        }
    }
    return -1;
}

// Makes `fresh` the play list, unless it holds the same programmes as the
// current one (then the current one stays, and `*item`, one of `fresh`'s
// items, becomes its equal there). The programme played keeps its place.
// Lock held.
void install_list_locked(ListPtr fresh, dao_play_item **item) {
    if (mPlayItemList != nullptr && same_programmes(mPlayItemList, fresh.get())) {
        if (item != nullptr && *item != nullptr) {
            *item = static_cast<dao_play_item *>(
                ListAt(mPlayItemList, index_in(mPlayItemList, (*item)->audioId))->data);
        }
        return;
    }
    const ListItem *played = ListAt(mPlayItemList, player_record_locked(kBroadcastPlayer).index);
    const int32_t kept =
        played != nullptr
            ? index_in(fresh.get(), static_cast<const dao_play_item *>(played->data)->audioId)
            : -1;
    try {
        s_old_lists.emplace_back(mPlayItemList);
    } catch (const std::bad_alloc &) {
        // Kept in no list: leaked rather than freed under the application.
    }
    if (s_old_lists.size() > static_cast<size_t>(kBcastKeptLists)) {
        LOGD(kTag, "Forget the oldest replaced play list \n");
        s_old_lists.erase(s_old_lists.begin());
    }
    mPlayItemList = fresh.release();
    player_record_locked(kBroadcastPlayer).index = kept >= 0 ? kept : 0;
}

int32_t &index_locked() {
    return player_record_locked(kBroadcastPlayer).index;
}

// --- The programme clock -----------------------------------------------------------

constexpr int kMaxTicks = 86430;  // one day and 30 seconds
constexpr int64_t kTickMs = 1000;
constexpr int64_t kAlertAfterMs = 9999;
// After an alert that brought no new programme (the refresh failed, or its
// live programme was already over by the service's time), it is tried again
// this often, at most kMaxRetries times.
constexpr int64_t kRetryMs = 3000;
constexpr int kMaxRetries = 20;
std::atomic<int32_t> s_running{0};  // clock threads in run_loop

std::atomic<int32_t> s_tick_ms{1000};

void _time_monitor_clock(int64_t cur_time, int64_t end_time);
void _time_monitor_alert(int64_t cur_time, int64_t end_time);

// One clock thread. Its times change under its own mutex, so a tick never sees
// the time of one programme with the finish of another; the clock and alert
// functions run with no lock held, so a stop never cuts them off midway.
class time_monitor {
  public:
    time_monitor(int64_t cur_time, int64_t end_time) : cur_time_(cur_time), end_time_(end_time) {
        s_running.fetch_add(1);
        try {
            thread_ = std::thread([this] { run_loop(); });
        } catch (...) {
            s_running.fetch_sub(1);
            throw;
        }
    }
    // Wakes and joins the thread; never from the thread itself.
    ~time_monitor() {
        request_stop();
        thread_.join();
    }
    time_monitor(const time_monitor &) = delete;
    time_monitor &operator=(const time_monitor &) = delete;

    void update(int64_t cur_time, int64_t end_time) {
        std::lock_guard lock(mutex_);
        cur_time_ = cur_time;
        end_time_ = end_time;
        retries_left_ = 0;
    }
    // The thread returns at its next wait, at once if it is waiting now.
    void request_stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
    }
    bool ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }
    std::thread::id id() const { return thread_.get_id(); }

  private:
    void run_loop() {
        loop();
        s_running.fetch_sub(1);
    }
    void loop() {
        for (int tick = 0; tick < kMaxTicks; ++tick) {
            int64_t now = 0, end = 0, alerted = 0;
            {
                std::unique_lock lock(mutex_);
                if (wake_.wait_for(lock, std::chrono::milliseconds(s_tick_ms.load()),
                                   [this] { return stop_; })) {
                    return;
                }
                cur_time_ += kTickMs;
                now = cur_time_;
                end = end_time_;
                if (end > 0 && end + kAlertAfterMs < now) {
                    end_time_ = 0;  // one alert per finish time, then the retries
                    alerted = alerted_end_ = end;
                    retries_left_ = kMaxRetries;
                    retry_at_ = now + kRetryMs;
                } else if (end == 0 && retries_left_ > 0 && now >= retry_at_) {
                    --retries_left_;
                    retry_at_ = now + kRetryMs;
                    alerted = alerted_end_;
                }
            }
            _time_monitor_clock(now, end);
            if (alerted != 0) {
                _time_monitor_alert(now, alerted);
            }
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
    }

    mutable std::mutex mutex_;  // guards cur_time_, end_time_, stop_, ended_
    std::condition_variable wake_;
    int64_t cur_time_;
    int64_t end_time_;         // 0: no alert pending
    int64_t alerted_end_ = 0;  // the finish time of the last alert
    int retries_left_ = 0;     // alerts still to come while no new programme arrives
    int64_t retry_at_ = 0;
    bool stop_ = false;
    bool ended_ = false;
    std::thread thread_;
};

// mTimeMonitor: the clock, or null. Stopped clocks that could not be joined
// where they were stopped (from their own thread, or under the player global
// mutex, which a listener slot on the clock's thread may be waiting for) wait
// in s_retired, already told to stop, for the next start or stop to join them.
std::mutex s_clock_mutex;  // guards mTimeMonitor and s_retired; taken after the player mutex
std::unique_ptr<time_monitor> mTimeMonitor;
std::vector<std::unique_ptr<time_monitor>> s_retired;

void _time_monitor_clock(int64_t cur_time, int64_t end_time) {
    LOGD(kTag, "_time_monitor_clock: %lld - %lld\n", static_cast<long long>(cur_time),
         static_cast<long long>(end_time));
    // Live progress belongs to a live programme of the engine's owner only.
    if (player_is_enabled(kBroadcastPlayer) && mIsCurPlayLiving.load()) {
        // On the players' sequence: after the events decided before it, never beside them.
        player_tell(setUserPlayerStateListener_OnProgress, RV_PROGRESS_LIVE, cur_time, end_time);
    }
}

void _time_monitor_alert(int64_t cur_time, int64_t end_time) {
    LOGD(kTag, "_time_monitor_alert: %lld - %lld\n", static_cast<long long>(cur_time),
         static_cast<long long>(end_time));
    LOGD(kTag, "Start To Update Playlist ...\n");
    if (player_is_enabled(kBroadcastPlayer)) {
        bcast_fetchPlayList(mUpdatePlaylistLisenter.load(), mCurBroadcastId.load());
    }
}

// Under s_clock_mutex: tells the current clock to stop and retires it.
void retire_current_locked() {
    if (mTimeMonitor != nullptr) {
        mTimeMonitor->request_stop();
        s_retired.push_back(std::move(mTimeMonitor));
    }
}

// Under s_clock_mutex: the retired clocks this thread may join (all but its
// own); the caller destroys them unlocked, which joins them.
std::vector<std::unique_ptr<time_monitor>> take_joinable_locked() {
    std::vector<std::unique_ptr<time_monitor>> joinable;
    const auto own = std::find_if(s_retired.begin(), s_retired.end(), [](const auto &clock) {
        return clock->id() == std::this_thread::get_id();
    });
    std::unique_ptr<time_monitor> kept = own != s_retired.end() ? std::move(*own) : nullptr;
    for (auto &clock : s_retired) {
        if (clock != nullptr) {
            joinable.push_back(std::move(clock));
        }
    }
    s_retired.clear();
    if (kept != nullptr) {
        s_retired.push_back(std::move(kept));
    }
    return joinable;
}

// Starts the clock, or moves the running one on to a new programme, for an
// answer asked with `generation` while the broadcast player still owns the
// engine. A clock whose day has run out is replaced, so listening on for days
// still follows the programmes.
void time_monitor_set(int64_t now, int64_t end, uint64_t generation) {
    std::vector<std::unique_ptr<time_monitor>> joinable;  // joined after the lock
    std::lock_guard lock(s_clock_mutex);
    // Checked under the clock's lock: a disable moves the generation on before
    // it retires the clock under this lock, so no clock outlives it.
    if (player_answer_stale(kBroadcastPlayer, generation) || !player_is_enabled(kBroadcastPlayer)) {
        return;
    }
    if (mTimeMonitor != nullptr && !mTimeMonitor->ended()) {
        mTimeMonitor->update(now, end);
        return;
    }
    retire_current_locked();
    joinable = take_joinable_locked();
    try {
        mTimeMonitor = std::make_unique<time_monitor>(now, end);
    } catch (const std::exception &) {
        // No memory or no thread: no clock.
    }
}

// Midnight minus one second of the local day that holds `now_ms`.
int64_t end_of_local_day_ms(int64_t now_ms) {
    const time_t seconds = static_cast<time_t>(now_ms / 1000);
    tm parts{};
    localtime_r(&seconds, &parts);
    parts.tm_hour = 23;
    parts.tm_min = 59;
    parts.tm_sec = 59;
    parts.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&parts)) * 1000;
}

// --- Fetching the play list -----------------------------------------------------------

struct fetch_request {
    int64_t broadcast_id;
    playlist_listener *listener;
    uint64_t generation;  // the broadcast player's, when asked
};
using FetchPtr = std::unique_ptr<fetch_request>;

void _notify_onPlayItemReady(FetchPtr request, dao_play_item *item) {
    if (request != nullptr && request->listener != nullptr &&
        request->listener->on_ready != nullptr) {
        request->listener->on_ready(item);
    }
}

// `detail`: the request's result code, or RV_START_NOTHING_TO_PLAY.
void _notify_onPlayItemUnavailable(FetchPtr request, int detail) {
    if (request != nullptr && request->listener != nullptr &&
        request->listener->on_failed != nullptr) {
        request->listener->on_failed(detail);
    }
}

struct BroadcastInfoDel {
    void operator()(dao_broadcast_info *info) const { dao_broadcast_info_del(info); }
};
struct ServerTimeDel {
    void operator()(dao_server_time *time) const { dao_server_time_del(time); }
};

void _result_broadcast_info(int result, void *data, int, void *user) {
    FetchPtr request(static_cast<fetch_request *>(user));
    std::unique_ptr<dao_broadcast_info, BroadcastInfoDel> info(
        static_cast<dao_broadcast_info *>(data));
    PlayerGlobalLock lock;
    if (player_answer_stale_locked(kBroadcastPlayer, request->generation)) {
        return;
    }
    if (result != 0 || info == nullptr) {
        _notify_onPlayItemUnavailable(std::move(request),
                                      result != 0 ? result : RV_START_NOTHING_TO_PLAY);
        return;
    }
    ListPtr fresh = new_play_list();
    dao_play_item *item = transformBroadcastInfoToPlayItem(info.get());
    if (fresh != nullptr && item != nullptr && ListAppend(fresh.get(), item) != nullptr) {
        install_list_locked(std::move(fresh), &item);
        _notify_onPlayItemReady(std::move(request), item);
    } else {
        dao_play_item_del(item);  // not in the list
        _notify_onPlayItemUnavailable(std::move(request), RVE_NO_MEMORY);
    }
}

void _result_broadcast_program_list(int result, void *data, int, void *user) {
    FetchPtr request(static_cast<fetch_request *>(user));
    std::unique_ptr<List, ListDel> programmes(static_cast<List *>(data));
    PlayerGlobalLock lock;
    if (player_answer_stale_locked(kBroadcastPlayer, request->generation)) {
        return;
    }
    ListPtr fresh = new_play_list();
    if (result != 0 || programmes == nullptr || fresh == nullptr) {
        _notify_onPlayItemUnavailable(std::move(request), result != 0 ? result : RVE_NO_MEMORY);
        return;
    }
    dao_play_item *live = nullptr;
    for (ListItem *node = ListFirst(programmes.get()); node != nullptr; node = ListNext(node)) {
        dao_play_item *item = transformProgramToPlayItem(static_cast<dao_program *>(node->data));
        if (item == nullptr) {
            continue;
        }
        if (ListAppend(fresh.get(), item) == nullptr) {
            dao_play_item_del(item);
            continue;
        }
        if (item->status == RV_PLAY_STATUS_LIVE) {
            live = item;
        }
    }
    if (live != nullptr) {
        install_list_locked(std::move(fresh), &live);
        _notify_onPlayItemReady(std::move(request), live);
        return;
    }
    if (request->listener != nullptr && request->listener->on_ready == onUpdatePlaylistReady) {
        // A gap between shows or a late guide: what plays goes on, the list
        // and the clock stay, and the clock asks again.
        _notify_onPlayItemUnavailable(std::move(request), RV_START_NOTHING_TO_PLAY);
        return;
    }
    // No live programme: the broadcast's details decide.
    const int64_t id = request->broadcast_id;
    request_broadcast_info(id, _result_broadcast_info, request.release());
}

// The server-time request carries the finish time itself, not the item: a list
// rebuild may free the item before the answer.
struct time_request {
    int64_t finish_time;
    uint64_t generation;  // the broadcast player's, when asked
};

void _result_server_time(int result, void *data, int, void *user) {
    std::unique_ptr<time_request> request(static_cast<time_request *>(user));
    std::unique_ptr<dao_server_time, ServerTimeDel> record(static_cast<dao_server_time *>(data));
    if (result != 0 || record == nullptr) {
        LOGE(kTag, "Inner Error Occurs , So Abandon ...\n");
        return;
    }
    char text[32] = {0};
    if (record->serverTime != nullptr) {
        snprintf(text, sizeof text, "%s", record->serverTime);
    }
    LOGD(kTag, "current server time: %s \n", text);
    const int64_t now = strtoll(text, nullptr, 10);
    int64_t end = request->finish_time;
    if (end == 0) {
        end = end_of_local_day_ms(now);
        LOGD(kTag, "Fix program finish time from 0 to %lld \n", static_cast<long long>(end));
    }
    LOGD(kTag, "Living program time start from %lld to %lld \n", static_cast<long long>(now),
         static_cast<long long>(end));
    if (end <= now) {
        LOGE(kTag, "Inner Error Occurs: wrong time message ! \n");
        return;
    }
    // Only for the engine's owner, and only for the programme still played.
    time_monitor_set(now, end, request->generation);
}

// The item at `index`, or null; under the player global mutex.
dao_play_item *item_at(int32_t index) {
    PlayerGlobalLock lock;
    const ListItem *node = index >= 0 ? ListAt(mPlayItemList, index) : nullptr;
    return node != nullptr ? static_cast<dao_play_item *>(node->data) : nullptr;
}

bool same_programme(const void *item, const void *key) {
    return static_cast<const dao_play_item *>(item)->audioId ==
           static_cast<const dao_play_item *>(key)->audioId;
}

}  // namespace

// --- Life cycle -------------------------------------------------------------------------

void initBroadcastDataManager(void) {
    PlayerGlobalLock lock;
    index_locked() = 0;
    if (mPlayItemList == nullptr) {
        mPlayItemList = ListNew(reinterpret_cast<ListFreeItem>(dao_play_item_del));
    }
}

void freeBroadcastDataManager(void) {
    PlayerGlobalLock lock;
    index_locked() = 0;
    ListFree(mPlayItemList);
    mPlayItemList = nullptr;
    s_old_lists.clear();
    s_live_programme = 0;
    s_live_finish = 0;
}

void bcast_forget_old_lists() {
    PlayerGlobalLock lock;
    s_old_lists.clear();
    s_live_programme = 0;
    s_live_finish = 0;
}

// --- The play list --------------------------------------------------------------------

List *bcast_getPlayList(void) {
    PlayerGlobalLock lock;
    return mPlayItemList;
}

int32_t bcast_getCurPlayItemIndex(void) {
    PlayerGlobalLock lock;
    return index_locked();
}

int32_t bcast_getPlayListSize(void) {
    PlayerGlobalLock lock;
    return static_cast<int32_t>(ListLength(mPlayItemList));
}

void bcast_setCurPlayItemIndex(int32_t index) {
    PlayerGlobalLock lock;
    if (index >= 0 && index < bcast_getPlayListSize()) {
        index_locked() = index;
    }
}

int32_t bcast_getPlayItemIndex(dao_play_item *item) {
    if (item == nullptr) {
        return -1;
    }
    PlayerGlobalLock lock;
    int32_t index = 0;
    for (ListItem *node = ListFirst(mPlayItemList); node != nullptr;
         node = ListNext(node), ++index) {
        if (same_programme(node->data, item)) {
            return index;
        }
    }
    return -1;
}

void bcast_updateCurPlayItemIndex(dao_play_item *item) {
    PlayerGlobalLock lock;
    const int32_t index = bcast_getPlayItemIndex(item);
    if (index >= 0) {
        index_locked() = index;
    }
}

dao_play_item *bcast_getPlayItem(int32_t index) {
    return item_at(index);
}

dao_play_item *bcast_getCurPlayItem(void) {
    PlayerGlobalLock lock;
    return item_at(index_locked());
}

dao_play_item *bcast_getPrePlayItem(void) {
    PlayerGlobalLock lock;
    const int32_t index = index_locked();
    return index >= 1 ? item_at(index - 1) : nullptr;
}

dao_play_item *bcast_getNextPlayItem(void) {
    PlayerGlobalLock lock;
    const int32_t index = index_locked();
    return index >= 0 ? item_at(index + 1) : nullptr;
}

void bcast_clearPlayList(void) {
    PlayerGlobalLock lock;
    if (ListPtr empty = new_play_list()) {
        install_list_locked(std::move(empty), nullptr);
    }
    index_locked() = 0;
}

void bcast_fetchPlayList(playlist_listener *listener, int64_t broadcast_id) {
    FetchPtr request;
    try {
        PlayerGlobalLock lock;
        request = std::make_unique<fetch_request>(
            fetch_request{broadcast_id, listener, player_generation_locked(kBroadcastPlayer)});
    } catch (const std::bad_alloc &) {
        if (listener != nullptr && listener->on_failed != nullptr) {
            listener->on_failed(RVE_NO_MEMORY);
        }
        return;
    }
    request_broadcast_program_list(broadcast_id, "", _result_broadcast_program_list,
                                   request.release());
}

// --- The two listeners ------------------------------------------------------------------

void onObtainPlaylistReady(dao_play_item *item) {
    LOGD(kTag, "Obtain Playlist Ready, So Continue Left Operations ... \n");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Can Not Start Play ... \n");
        return;
    }
    bcast_startPlayItem(item);
    bcast_processProgramTime(item);
}

void onObtainPlaylistFailed(int detail) {
    LOGW(kTag, "Obtain Playlist Failed, So Can Not Start Play ... \n");
    PlayerGlobalLock lock;
    player_start_failed_locked(kBroadcastPlayer, player_generation_locked(kBroadcastPlayer),
                               detail);
}

void onUpdatePlaylistReady(dao_play_item *item) {
    LOGD(kTag, "Obtain Playlist Ready, So Continue Left Operations ... \n");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Abandon ... \n");
        return;
    }
    if (!player_is_enabled(kBroadcastPlayer)) {
        // The album player took the engine while the list was on its way.
        LOGW(kTag, "The Player Was Not Enabled Yet !!! \n");
        return;
    }
    if (item->audioId == s_live_programme) {
        // The guide lags, and the clock tries again; or the programme runs
        // longer or shorter, and the clock counts to its new finish.
        if (item->finishTime != s_live_finish) {
            bcast_processProgramTime(item);
        }
        return;
    }
    // The user on the live programme follows it: at once while playing; when
    // paused or stopped the current item and clock move, and play resumes there.
    if (mIsCurPlayLiving.load()) {
        PlayerRecord &record = player_record_locked(kBroadcastPlayer);
        if (record.intent == PlayerIntent::Play && record.phase != PlayerPhase::Error) {
            if (bcast_plays_url_locked(item->playUrl)) {
                // The same stream goes on: restarting it would only drop out.
                bcast_updateCurPlayItemIndex(item);
            } else {
                player_navigate_locked(kBroadcastPlayer, PlayerMove::Auto);
                bcast_startPlayItem(item);
            }
        } else {
            bcast_updateCurPlayItemIndex(item);
        }
    }
    bcast_processProgramTime(item);
    LOGD(kTag, "Notify Broadcast Listener, Live Program Was Updated ... \n");
    // After the lock, with a copy: the list may be rebuilt once it is released.
    std::shared_ptr<dao_play_item> copy(dao_play_item_dup(item), dao_play_item_del);
    if (copy != nullptr) {
        player_listener_call([copy] { setUserBroadcastListener_OnLiveProgramUpdated(copy.get()); });
    }
}

void onUpdatePlaylistFailed(int) {
    LOGW(kTag, "Update Playlist Failed, So Can Not Start Play... \n");
}

// --- The programme clock ------------------------------------------------------------------

void bcast_processProgramTime(dao_play_item *item) {
    LOGD(kTag, "Call func %s() \n", "bcast_processProgramTime");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Abandon Left Operations ... \n");
        return;
    }
    s_live_programme = item->audioId;
    s_live_finish = item->finishTime;
    std::unique_ptr<time_request> request;
    try {
        request = std::make_unique<time_request>(
            time_request{item->finishTime, player_generation_locked(kBroadcastPlayer)});
    } catch (const std::bad_alloc &) {
        LOGE(kTag, "Inner Error Occurs , So Abandon ...\n");
        return;
    }
    LOGD(kTag, "Start To Get Current Server Time ...\n");
    request_current_server_time(_result_server_time, request.release());
}

void _time_monitor_stop(void) {
    std::vector<std::unique_ptr<time_monitor>> joinable;
    {
        std::lock_guard lock(s_clock_mutex);
        retire_current_locked();
        joinable = take_joinable_locked();
    }
    // Destroying them joins their threads, outside the lock.
}

void time_monitor_stop_later() {
    std::lock_guard lock(s_clock_mutex);
    retire_current_locked();
}

void _time_monitor_set_tick(int32_t tick_ms) {
    s_tick_ms.store(tick_ms < 0 ? 0 : tick_ms);
}

int32_t _time_monitor_threads(void) {
    return s_running.load();
}
