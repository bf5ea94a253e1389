#include "player/bcast_play_manager.h"

#include <ctime>
#include <memory>
#include <new>
#include <string>

#include "iface/ifcae_play_v2.h"
#include "player/bcast_data_manager.h"
#include "player/ijk_media_player.h"
#include "player/player_manager.h"
#include "player/player_state_listener.h"
#include "util/debug.h"

std::atomic<bool> mIsCurPlayLiving{false};

namespace {

constexpr const char *kTag = "PLAYER";
constexpr const char *kNotEnabled = "The Player Was Not Enabled Yet !!! \n";
constexpr const char *kNotEnabledShort = "player not enabled \n";
constexpr const char *kInvalidItem = "The PlayItem Is Invalid, So Abandon Left Operations ... \n";

// Written by the engine's event thread and the commanding threads.
std::atomic<bool> mIsSeekEvent{false};
std::atomic<int64_t> mCurAudioPlayPosition{0};
std::atomic<int64_t> mCurAudioPlayedTime{0};
std::atomic<time_t> mBufferingStartTime{0};
std::atomic<time_t> mBufferingStopTime{0};
std::atomic<int> isFirstPlay{1};
// The URL the engine was given last; guarded by the player global mutex.
std::string s_source;

void log_call(const char *name) {
    LOGD(kTag, "Call func %s() \n", name);
}

// The control path: log the call, then run `enabled` when the player owns the engine.
template <class Fn, class Result = decltype(std::declval<Fn>()())>
Result when_enabled(const char *name, const char *refusal, Fn enabled) {
    log_call(name);
    if (!player_is_enabled(kBroadcastPlayer)) {
        LOGW(kTag, "%s", refusal);
        return Result();
    }
    return enabled();
}

// Starts the item the list gives next to the current one, unless it is not
// on air; false when there is none to start. Lock held.
bool play_neighbour_locked(dao_play_item *(*neighbour)(void), PlayerMove move) {
    dao_play_item *item = neighbour();
    if (item == nullptr || item->status == RV_PLAY_STATUS_OFF_AIR) {
        return false;
    }
    player_navigate_locked(kBroadcastPlayer, move);
    bcast_startPlayItem(item);
    if (item->status == RV_PLAY_STATUS_LIVE) {
        bcast_processProgramTime(item);  // the clock follows a live item however it started
    }
    return true;
}

void play_neighbour(const char *name, dao_play_item *(*neighbour)(void)) {
    when_enabled(name, kNotEnabledShort, [neighbour] {
        PlayerGlobalLock lock;
        if (!play_neighbour_locked(neighbour, PlayerMove::User) &&
            neighbour == bcast_getNextPlayItem) {
            player_list_end_reached();
        }
    });
}

// The start shared by the three play-by-id functions.
void obtain_playlist(int64_t broadcast_id) {
    LOGD(kTag, "Start To Obtain Playlist ...\n");
    {
        PlayerGlobalLock lock;
        player_navigate_locked(kBroadcastPlayer, PlayerMove::Resource);
        bcast_forget_old_lists();
        mCurBroadcastId.store(broadcast_id);
        mIsCurPlayLiving.store(true);  // its live programme is on its way
    }
    bcast_fetchPlayList(mObtainPlaylistLisenter.load(), broadcast_id);
}

// The current item started afresh (at the live point for a live one). Lock held.
void restart_current_locked() {
    dao_play_item *item = bcast_getCurPlayItem();
    if (item == nullptr) {
        LOGW(kTag, "%s", kInvalidItem);
        return;
    }
    player_navigate_locked(kBroadcastPlayer, PlayerMove::User);
    bcast_startPlayItem(item);
}

// --- Engine callbacks ----------------------------------------------------------------------

// The callback path: log the text, then run `enabled` when the player owns the engine.
template <class Fn>
void on_engine(Fn enabled) {
    if (!player_is_enabled(kBroadcastPlayer)) {
        LOGW(kTag, "%s", kNotEnabledShort);
        return;
    }
    enabled();
}

void cb_broadcast_OnPrepareComplete(void) {
    const uint64_t ticket = player_event_ticket(kBroadcastPlayer);
    LOGD(kTag, "Player State Inner Callback: OnPrepareComplete\n");
    on_engine([ticket] {
        mCurAudioPlayPosition.store(0);
        mCurAudioPlayedTime.store(0);
        player_play_prepared(kBroadcastPlayer, ticket);
    });
}

void cb_broadcast_OnPlaying(int64_t position) {
    LOGD(kTag, "Player State Inner Callback: OnPlaying[position=%lld]\n",
         static_cast<long long>(position));
    on_engine([] { player_tell(setUserPlayerStateListener_OnPlaying); });
}

void cb_broadcast_OnProgress(int64_t position, int64_t duration) {
    LOGD(kTag, "Player State Inner Callback: OnProgress[position=%lld,duration=%lld]\n",
         static_cast<long long>(position), static_cast<long long>(duration));
    on_engine([position, duration] {
        const int64_t last = mCurAudioPlayPosition.exchange(position);
        if (last != 0 && position - last > 0) {
            mCurAudioPlayedTime.fetch_add(position - last);
        }
        if (!mIsCurPlayLiving.load()) {
            player_tell(setUserPlayerStateListener_OnProgress, RV_PROGRESS_PLAYER, position,
                        duration);
        }
    });
}

void cb_broadcast_OnPaused(void) {
    LOGD(kTag, "Player State Inner Callback: OnPaused\n");
    on_engine([] { player_tell(setUserPlayerStateListener_OnPaused); });
}

void cb_broadcast_OnSeekStart(void) {
    LOGD(kTag, "Player State Inner Callback: OnSeekStart\n");
    on_engine([] {
        mIsSeekEvent.store(true);
        player_tell(setUserPlayerStateListener_OnSeekStart);
    });
}

void cb_broadcast_OnSeekComplete(void) {
    LOGD(kTag, "Player State Inner Callback: OnSeekComplete\n");
    on_engine([] {
        mIsSeekEvent.store(false);
        player_tell(setUserPlayerStateListener_OnSeekComplete);
    });
}

void cb_broadcast_OnBufferingStart(void) {
    const uint64_t ticket = player_event_ticket(kBroadcastPlayer);
    LOGD(kTag, "Player State Inner Callback: OnBufferingStart\n");
    on_engine([ticket] {
        mBufferingStartTime.store(time(nullptr));
        {
            PlayerGlobalLock lock;
            player_event_phase_locked(kBroadcastPlayer, ticket, PlayerPhase::Buffering);
            bcast_reportBuffering(bcast_getCurPlayItem(), 1);
        }
        player_tell(setUserPlayerStateListener_OnBufferingStart);
    });
}

void cb_broadcast_OnBufferingComplete(void) {
    const uint64_t ticket = player_event_ticket(kBroadcastPlayer);
    LOGD(kTag, "Player State Inner Callback: OnBufferingComplete\n");
    on_engine([ticket] {
        mBufferingStopTime.store(time(nullptr));
        {
            PlayerGlobalLock lock;
            player_event_phase_locked(kBroadcastPlayer, ticket, PlayerPhase::Playing);
            bcast_reportBuffering(bcast_getCurPlayItem(), 0);
        }
        player_tell(setUserPlayerStateListener_OnBufferingComplete);
    });
}

void cb_broadcast_OnError(int32_t what, int32_t arg1, int32_t) {
    const uint64_t ticket = player_event_ticket(kBroadcastPlayer);
    LOGD(kTag, "Player State Inner Callback: OnError[what=%d,arg=%d]\n", what, arg1);
    on_engine([what, arg1, ticket] {
        PlayerGlobalLock lock;
        if (player_answer_stale_locked(kBroadcastPlayer, ticket)) {
            return;  // the error of an item left is not the current one's
        }
        player_event_phase_locked(kBroadcastPlayer, ticket, PlayerPhase::Error);
        bcast_reportError(bcast_getCurPlayItem(), arg1);
        player_tell(setUserPlayerStateListener_OnError, what, arg1);
    });
}

void cb_broadcast_OnPlayEnd(void) {
    const uint64_t ticket = player_event_ticket(kBroadcastPlayer);
    LOGD(kTag, "Player State Inner Callback: OnPlayEnd\n");
    on_engine([ticket] {
        // Under the lock against the record: an end of a programme the user
        // already left, paused or stopped moves nothing.
        PlayerGlobalLock lock;
        if (!player_may_move_locked(kBroadcastPlayer, ticket)) {
            return;
        }
        player_tell(setUserPlayerStateListener_OnPlayEnd);
        LOGD(kTag, "Get Player State OnPlayEnd, Auto Play Next ... \n");
        player_event_phase_locked(kBroadcastPlayer, ticket, PlayerPhase::Ended);
        log_call("bcast_playNext");
        play_neighbour_locked(bcast_getNextPlayItem, PlayerMove::Auto);
    });
}

void cb_broadcast_OnDownloadProgress(int64_t fetched, int64_t total) {
    on_engine([fetched, total] {
        player_tell(setUserDownloadProgressListener_OnDownloadProgress, fetched, total);
    });
}

// --- Installation -----------------------------------------------------------------------------

void play_by_bean(dao_play_audio_bean *bean) {
    bcast_playByAudioBean(bean);
}

// rv_stop / rv_reset: nothing on its way plays; the engine stops when the broadcast player has it.
void stop_command() {
    {
        PlayerGlobalLock lock;
        player_stop_locked();
    }
    bcast_stop();
}

void reset_command() {
    {
        PlayerGlobalLock lock;
        player_stop_locked();
    }
    bcast_reset();
}

const play_manager_ops kBroadcastOps = {
    .playByAudioBean = play_by_bean,
    .playByPlayItem = bcast_playByPlayItem,
    .play = bcast_play,
    .pause = bcast_pause,
    .stop = stop_command,
    .reset = reset_command,
    .switchPlayerStatus = bcast_switchPlayerStatus,
    .seek = bcast_seek,
    .playPre = bcast_playPre,
    .playNext = bcast_playNext,
    .isPlaying = bcast_isPlaying,
    .isPaused = bcast_isPaused,
    .canSeek = bcast_canSeek,
    .hasPre = bcast_hasPre,
    .hasNext = bcast_hasNext,
    .getCurPlayItemIndex = bcast_getCurPlayItemIndex,
    .getCurPlayItem = bcast_getCurPlayItem,
    .getPlayItemIndex = bcast_getPlayItemIndex,
    .getPlayItem = bcast_getPlayItem,
    .getPlayListSize = bcast_getPlayListSize,
    .getPlayList = bcast_getPlayList,
    .fetchMorePlaylist = nullptr,
};

}  // namespace

// --- Life cycle -------------------------------------------------------------------------------

int initBroadcastPlayManager(void) {
    try {
        auto obtain = std::make_unique<playlist_listener>(
            playlist_listener{onObtainPlaylistReady, onObtainPlaylistFailed});
        auto update = std::make_unique<playlist_listener>(
            playlist_listener{onUpdatePlaylistReady, onUpdatePlaylistFailed});
        std::unique_ptr<playlist_listener> old_obtain(
            mObtainPlaylistLisenter.exchange(obtain.release()));
        std::unique_ptr<playlist_listener> old_update(
            mUpdatePlaylistLisenter.exchange(update.release()));
    } catch (const std::bad_alloc &) {
        return 0;
    }
    ipa_set_play_manager(kPlayerTypeBroadcast, &kBroadcastOps);
    player_install(kBroadcastPlayer, bcast_disablePlayer,
                   []() -> const dao_play_item * { return bcast_getCurPlayItem(); });
    return 1;
}

void freeBroadcastPlayManager(void) {
    _time_monitor_stop();
    ipa_set_play_manager(kPlayerTypeBroadcast, nullptr);
    player_install(kBroadcastPlayer, nullptr, nullptr);
    std::unique_ptr<playlist_listener> obtain(mObtainPlaylistLisenter.exchange(nullptr));
    std::unique_ptr<playlist_listener> update(mUpdatePlaylistLisenter.exchange(nullptr));
}

// --- Starting play ----------------------------------------------------------------------------

void bcast_playByAudioBean(dao_play_audio_bean *bean) {
    log_call("bcast_playByAudioBean");
    if (bean == nullptr) {
        LOGW(kTag, "The PlayAudioBean Is Invalid, So Can Not Start Play... \n");
        return;
    }
    obtain_playlist(bean->id);
}

void bcast_playByBroadcast(dao_broadcast *broadcast) {
    log_call("bcast_playByBroadcast");
    if (broadcast == nullptr) {
        LOGW(kTag, "The Broadcast Is Invalid, So Can Not Start Play... \n");
        return;
    }
    obtain_playlist(broadcast->broadcastId);
}

void bcast_playByBroadcastId(int64_t broadcast_id) {
    log_call("bcast_playByBroadcastId");
    if (broadcast_id < 0) {
        LOGW(kTag, "The BroadcastId Is Invalid, So Can Not Start Play... \n");
        return;
    }
    obtain_playlist(broadcast_id);
}

void bcast_playByPlayItem(dao_play_item *item) {
    log_call("bcast_playByPlayItem");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Can Not Start Play... \n");
        return;
    }
    player_navigate_locked(kBroadcastPlayer, PlayerMove::Resource);
    mCurBroadcastId.store(item->albumId);
    // The list's own item plays: the caller's may be one of a replaced list.
    dao_play_item *own = bcast_getPlayItem(bcast_getPlayItemIndex(item));
    if (own == nullptr) {
        // Not in the play list: a copy becomes its only item (the clock's next
        // refresh brings its broadcast's programmes). Copied before the
        // replaced lists go, as `item` may be in one of them.
        own = dao_play_item_dup(item);
        bcast_forget_old_lists();
        bcast_clearPlayList();
        if (own == nullptr || ListAppend(bcast_getPlayList(), own) == nullptr) {
            dao_play_item_del(own);
            LOGW(kTag, "%s", kInvalidItem);
            return;
        }
    }
    bcast_startPlayItem(own);
    if (own->status == RV_PLAY_STATUS_LIVE) {
        bcast_processProgramTime(own);  // the clock follows a live item however it started
    }
}

void bcast_startPlayItem(dao_play_item *item) {
    log_call("bcast_startPlayItem");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "%s", kInvalidItem);
        return;
    }
    bcast_reset();
    bcast_enablePlayer();
    bcast_updateCurPlayItemIndex(item);
    PlayerRecord &record = player_record_locked(kBroadcastPlayer);
    record.phase = PlayerPhase::Preparing;
    log_call("bcast_startPlayItemInner");
    if (item->status == RV_PLAY_STATUS_OFF_AIR) {
        LOGW(kTag, "The Next Program Is Not On Air Yet, So Abandon ... \n");
        player_start_failed_locked(kBroadcastPlayer, record.generation, RV_START_NOT_ON_AIR);
        return;
    }
    mIsCurPlayLiving.store(item->status == RV_PLAY_STATUS_LIVE);
    if (item->playUrl == nullptr) {
        LOGW(kTag, "The playUrl is NULL, So Abandon Left Operations ... \n");
        player_start_failed_locked(kBroadcastPlayer, record.generation, RV_START_NO_PLAY_URL);
        return;
    }
    LOGD(kTag, "Now play by ijkplayer: %s \n", item->playUrl);
    try {
        s_source = item->playUrl;
    } catch (const std::bad_alloc &) {
        s_source.clear();  // not known: the next programme change restarts
    }
    ijk_SetDataSource(item->playUrl);
    record.source = ijk_PreparePaused();
}

// --- Control ----------------------------------------------------------------------------------

void bcast_play(void) {
    player_note_intent(PlayerIntent::Play);
    when_enabled("bcast_play", kNotEnabled, [] {
        PlayerGlobalLock lock;
        const dao_play_item *item = bcast_getCurPlayItem();
        const bool paused_live =
            player_record_locked(kBroadcastPlayer).phase == PlayerPhase::Paused &&
            item != nullptr && item->needRestart != 0;
        if (player_needs_restart_locked(kBroadcastPlayer) || paused_live) {
            // Stopped, failed or ended: from its start; a live one at the live point.
            restart_current_locked();
            return;
        }
        player_command_phase_locked(kBroadcastPlayer, PlayerPhase::Playing);
        ijk_Play();
    });
}

void bcast_pause(void) {
    player_note_intent(PlayerIntent::Pause);
    when_enabled("bcast_pause", kNotEnabled, [] {
        PlayerGlobalLock lock;
        player_command_phase_locked(kBroadcastPlayer, PlayerPhase::Paused);
        ijk_Pause();
    });
}

void bcast_stop(void) {
    when_enabled("bcast_stop", kNotEnabled, [] { ijk_Stop(); });
}

void bcast_reset(void) {
    when_enabled("bcast_reset", kNotEnabled, [] {
        mIsSeekEvent.store(false);
        ijk_Stop();
    });
}

void bcast_seek(int32_t msec) {
    when_enabled("bcast_seek", kNotEnabled, [msec] { ijk_SeekTo(msec); });
}

bool bcast_isPlaying(void) {
    return when_enabled("bcast_isPlaying", kNotEnabled,
                        [] { return player_is_playing(kBroadcastPlayer); });
}

bool bcast_isPaused(void) {
    return when_enabled("bcast_isPaused", kNotEnabled,
                        [] { return player_is_paused(kBroadcastPlayer); });
}

bool bcast_isLiving(void) {
    return when_enabled("bcast_isLiving", kNotEnabled, [] { return mIsCurPlayLiving.load(); });
}

bool bcast_plays_url_locked(const char *url) {
    const PlayerPhase phase = player_record_locked(kBroadcastPlayer).phase;
    const bool live_phase = phase == PlayerPhase::Preparing || phase == PlayerPhase::Playing ||
                            phase == PlayerPhase::Buffering;
    return live_phase && player_is_enabled(kBroadcastPlayer) && url != nullptr &&
           !s_source.empty() && s_source == url;
}

bool bcast_resource_is_live() {
    return mIsCurPlayLiving.load();
}

bool bcast_canSeek(void) {
    return when_enabled("bcast_canSeek", kNotEnabled, [] { return !mIsCurPlayLiving.load(); });
}

void bcast_switchPlayerStatus(void) {
    when_enabled("bcast_switchPlayerStatus", kNotEnabled, [] {
        if (bcast_isPlaying()) {
            LOGD(kTag, "播放->暂停 \n");
            bcast_pause();
            return;
        }
        log_call("bcast_needRestart");
        bool restart = false;
        {
            PlayerGlobalLock lock;
            const dao_play_item *item = bcast_getCurPlayItem();
            restart = item != nullptr && item->needRestart != 0;
        }
        if (!restart) {
            LOGD(kTag, "暂停->继续播放 \n");
            bcast_play();
            return;
        }
        LOGD(kTag, "暂停->重启播放 \n");
        log_call("bcast_restart");
        PlayerGlobalLock lock;
        restart_current_locked();
    });
}

bool bcast_hasPre(void) {
    return when_enabled("bcast_hasPre", kNotEnabledShort,
                        [] { return bcast_getCurPlayItemIndex() >= 1; });
}

bool bcast_hasNext(void) {
    return when_enabled("bcast_hasNext", kNotEnabledShort, [] {
        const int32_t index = bcast_getCurPlayItemIndex();
        return index >= 0 && index + 1 < bcast_getPlayListSize();
    });
}

void bcast_playPre(void) {
    play_neighbour("bcast_playPre", bcast_getPrePlayItem);
}

void bcast_playNext(void) {
    play_neighbour("bcast_playNext", bcast_getNextPlayItem);
}

// --- Engine ownership -------------------------------------------------------------------------

bool bcast_isPlayerEnable(void) {
    return player_is_enabled(kBroadcastPlayer);
}

void bcast_enablePlayer(void) {
    log_call("bcast_enablePlayer");
    PlayerGlobalLock lock;
    if (!player_enable_locked(kBroadcastPlayer)) {
        return;
    }
    bcast_disableOtherPlayer();
    bcast_reset();
    register_cb_onError(cb_broadcast_OnError);
    register_cb_onPlaying(cb_broadcast_OnPlaying);
    register_cb_onPrepareComplete(cb_broadcast_OnPrepareComplete);
    register_cb_onProgress(cb_broadcast_OnProgress);
    register_cb_onPaused(cb_broadcast_OnPaused);
    register_cb_onSeekStart(cb_broadcast_OnSeekStart);
    register_cb_onSeekComplete(cb_broadcast_OnSeekComplete);
    register_cb_onBufferingStart(cb_broadcast_OnBufferingStart);
    register_cb_onDownloadProgress(cb_broadcast_OnDownloadProgress);
    register_cb_onBufferingComplete(cb_broadcast_OnBufferingComplete);
    register_cb_onPlayEnd(cb_broadcast_OnPlayEnd);
}

void bcast_disableOtherPlayer(void) {
    log_call("bcast_disableOtherPlayer");
    PlayerGlobalLock lock;
    player_disable_other_locked(kBroadcastPlayer);
}

void bcast_disablePlayer(void) {
    log_call("bcast_disablePlayer");
    PlayerGlobalLock lock;
    if (!player_disable_locked(kBroadcastPlayer)) {
        return;
    }
    time_monitor_stop_later();  // the caller may hold the player global mutex: no join here
    bcast_reset();              // now only logs: the album player resets the engine itself
    unregister_cb_player_status();
    if (dao_play_item *item = bcast_getCurPlayItem()) {
        bcast_reportPlayBackEnd(item);
    }
}

// --- Reports ----------------------------------------------------------------------------------

void bcast_reportBuffering(dao_play_item *item, int32_t kind) {
    log_call("bcast_reportBuffering");
    if (item == nullptr) {
        LOGW(kTag, "%s", kInvalidItem);
        return;
    }
    const std::string radio = std::to_string(item->albumId);
    const char *type = mIsSeekEvent.load() ? "1" : "0";
    if (kind == 1) {
        send_item_report(item, {{&dao_report::flow, radio.c_str()},
                                {&dao_report::type, type},
                                {&dao_report::remarks2, item->playUrl},
                                {&dao_report::eventcode, "300030"}});
        return;
    }
    mIsSeekEvent.store(false);
    const std::string seconds =
        std::to_string(static_cast<int>(mBufferingStopTime.load() - mBufferingStartTime.load()));
    send_item_report(item, {{&dao_report::flow, radio.c_str()},
                            {&dao_report::type, type},
                            {&dao_report::remarks2, item->playUrl},
                            {&dao_report::eventcode, "300022"},
                            {&dao_report::playtime, seconds.c_str()}});
}

void bcast_reportError(dao_play_item *item, int32_t detail) {
    log_call("bcast_reportError");
    if (item == nullptr) {
        LOGW(kTag, "%s", kInvalidItem);
        return;
    }
    const std::string result = std::to_string(detail);
    send_item_report(item, {{&dao_report::eventcode, "992000"},
                            {&dao_report::result, result.c_str()},
                            {&dao_report::url, item->playUrl}});
}

void bcast_reportPlayBackEnd(dao_play_item *item) {
    log_call("bcast_reportPlayBackEnd");
    if (item == nullptr) {
        return;
    }
    const std::string playtime = std::to_string(mCurAudioPlayedTime.load() / 1000 + 1);
    send_item_report(item, {{&dao_report::playtime, playtime.c_str()},
                            {&dao_report::eventcode, "101017"},
                            {&dao_report::remarks1, "player"},
                            {&dao_report::remarks4, isFirstPlay.exchange(0) != 0 ? "1" : "0"}});
}
