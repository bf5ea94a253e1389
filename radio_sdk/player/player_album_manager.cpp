#include "player/player_album_manager.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>

#include "iface/ifcae_play_v2.h"
#include "player/ijk_media_player.h"
#include "player/player_album_audio_item_list.h"
#include "player/player_album_audio_list.h"
#include "player/player_manager.h"
#include "player/player_state_listener.h"
#include "request/download_manager.h"
#include "request/report_req.h"
#include "util/debug.h"

namespace {

constexpr const char *kTag = "PLAYER";

#define RV_CALL_FUNC(name) LOGD(kTag, "Call func %s() \n", name)

// Module counters. The engine's event thread (handlers, automatic next item),
// pool workers (fetch answers starting items) and the application's thread
// (controls) all touch them, so each is atomic; the sequences that must not
// interleave (start an item, next/previous, reports) run under the player
// global mutex, with the values that change together (enabled, generation,
// current index, reported flag, pause intent) in the album player's record
// (player_manager.h).
std::atomic<bool> mIsSeekEvent{false};
std::atomic<int64_t> mCurAudioPlayPosition{0};  // ms; 0 = no progress report yet
std::atomic<int64_t> mCurAudioPlayedTime{0};    // ms actually played of the current item
std::atomic<int64_t> mBufferingStartTime{0};    // seconds since the epoch
std::atomic<int64_t> mBufferingStopTime{0};
std::atomic<bool> mFirstPlayEndReport{true};  // until the first play-end report since load

void onFetchPlaylistReady(dao_play_item *item);
void onFetchPlaylistFailed(void *unused);

// The album player's own fetch listener; static, so that an answer arriving
// during shut-down never meets a freed record.
FetchPlaylistListener kFetchListener{onFetchPlaylistReady, onFetchPlaylistFailed};
std::atomic<FetchPlaylistListener *> mFetchPlaylistLisenter{nullptr};

bool enabled_or_warn() {
    if (player_is_enabled(kAlbumPlayer)) {
        return true;
    }
    LOGW(kTag, "The Player Was Not Enabled Yet !!! \n");
    return false;
}

bool handler_enabled() {
    if (player_is_enabled(kAlbumPlayer)) {
        return true;
    }
    LOGW(kTag, "player not enabled \n");
    return false;
}

void engine_command(const char *name, void (*command)()) {
    RV_CALL_FUNC(name);
    if (enabled_or_warn()) {
        command();
    }
}

bool engine_query(const char *name, bool (*query)()) {
    RV_CALL_FUNC(name);
    return enabled_or_warn() && query();
}

PlayerRecord &record_locked() {
    return player_record_locked(kAlbumPlayer);
}

// The play end of the current item, once: whichever of next, previous, its
// natural end, another item or resource, disabling or shut-down comes first.
// Lock held.
void report_current_play_end_locked() {
    dao_play_item *current = album_getCurPlayItem();
    bool &reported = record_locked().reported;
    if (current != nullptr && !reported) {
        reported = true;
        album_reportPlayEnd(current);
    }
}

// Before moving to another item: false (with the warning) when there is none
// in that direction, else the current item's end is reported and a new
// generation begins. Lock held.
bool leave_current_locked(bool (*there_is)(), const char *nothing_there, PlayerMove move) {
    if (!there_is()) {
        LOGW(kTag, "%s", nothing_there);
        return false;
    }
    report_current_play_end_locked();
    player_navigate_locked(kAlbumPlayer, move);
    return true;
}

// The item after the current one, by the user or by itself. Lock held.
void play_next_locked(PlayerMove move) {
    if (!leave_current_locked(album_hasNext, "Do Not Have Next , So Can Not Start Play... \n",
                              move)) {
        if (move == PlayerMove::User) {
            player_list_end_reached();
        }
        return;
    }
    const int32_t index = album_getCurPlayItemIndex();
    const int32_t size = album_getPlayListSize();
    if (index + 1 < size) {
        album_startPlayItem(album_getPlayItem(index + 1));
        return;
    }
    const dao_play_item *last = album_getPlayItem(size - 1);
    album_fetchMorePlaylist(mFetchPlaylistLisenter.load(),
                            last != nullptr ? last->clockId : nullptr);
}

// An item that is not in the play list (built by the application, or from
// another resource) becomes the only item of a new play list. Lock held.
void play_alone_locked(const dao_play_item *item) {
    std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)> copy(dao_play_item_dup(item),
                                                                      dao_play_item_del);
    std::unique_ptr<dao_play_audio_item, decltype(&dao_play_audio_item_del)> resource(
        dao_play_audio_item_new(), dao_play_audio_item_del);
    std::unique_ptr<List, decltype(&ListFree)> list(
        ListNew(reinterpret_cast<ListFreeItem>(dao_play_item_del)), ListFree);
    if (!copy || !resource || !list || ListAppend(list.get(), copy.get()) == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Can Not Start Play... \n");
        return;
    }
    dao_play_item *started = copy.release();
    resource->id = started->albumId;
    resource->type = started->type;
    resource->forward = 1;
    resource->exhausted = 1;
    album_setCurPlayAudioItem(resource.release());
    album_clearPlayList();
    addPlaylist(list.release());
    album_startPlayItem(started);
}

void buffering_report(int32_t kind) {
    PlayerGlobalLock lock;
    if (dao_play_item *current = album_getCurPlayItem()) {
        album_reportBuffering(current, kind);
    }
}

// The engine joins the next item to the current one only if it was named ahead: a stored
// one as soon as the current item is prepared (its file costs nothing), one from the
// network once the current item is fetched whole (a dropout across the boundary is then
// bridged as well).
void prefetch_next_item(bool current_fetched) {
    PlayerGlobalLock lock;
    const dao_play_item *next = album_getPlayItem(album_getCurPlayItemIndex() + 1);
    if (next == nullptr || next->playUrl == nullptr) {
        return;
    }
    const std::string stored = rv::dl::stored_path(next->audioId);
    if (!stored.empty()) {
        ijk_Prefetch(stored.c_str());
    } else if (current_fetched) {
        ijk_Prefetch(next->playUrl);
    }
}

// --- Engine event handlers (engine's event thread, or the commanding thread) ---

void cb_OnPrepareComplete() {
    const uint64_t ticket = player_event_ticket(kAlbumPlayer);
    LOGD(kTag, "Player State Inner Callback: OnPrepareComplete\n");
    if (handler_enabled()) {
        mCurAudioPlayPosition.store(0);
        mCurAudioPlayedTime.store(0);
        player_play_prepared(kAlbumPlayer, ticket);
        prefetch_next_item(false);
    }
}

void cb_OnPlaying(int64_t position) {
    LOGD(kTag, "Player State Inner Callback: OnPlaying[position=%lld]\n",
         static_cast<long long>(position));
    if (handler_enabled()) {
        player_tell(setUserPlayerStateListener_OnPlaying);
    }
}

void cb_OnPaused() {
    LOGD(kTag, "Player State Inner Callback: OnPaused\n");
    if (handler_enabled()) {
        player_tell(setUserPlayerStateListener_OnPaused);
    }
}

void cb_OnProgress(int64_t position, int64_t duration) {
    LOGD(kTag, "Player State Inner Callback: OnProgress[position=%lld,duration=%lld]\n",
         static_cast<long long>(position), static_cast<long long>(duration));
    if (!handler_enabled()) {
        return;
    }
    // Only forward movement between two reports counts as played.
    const int64_t last = mCurAudioPlayPosition.exchange(position);
    if (last != 0 && position > last) {
        mCurAudioPlayedTime.fetch_add(position - last);
    }
    player_tell(setUserPlayerStateListener_OnProgress, RV_PROGRESS_PLAYER, position, duration);
}

void cb_OnError(int32_t what, int32_t arg1, int32_t /*arg2*/) {
    const uint64_t ticket = player_event_ticket(kAlbumPlayer);
    LOGD(kTag, "Player State Inner Callback: OnError[what=%d,arg=%d]\n", what, arg1);
    if (handler_enabled()) {
        PlayerGlobalLock lock;
        if (player_answer_stale_locked(kAlbumPlayer, ticket)) {
            return;  // the error of an item left is not the current one's
        }
        player_event_phase_locked(kAlbumPlayer, ticket, PlayerPhase::Error);
        player_tell(setUserPlayerStateListener_OnError, what, arg1);
    }
}

void cb_OnSeekStart() {
    LOGD(kTag, "Player State Inner Callback: OnSeekStart\n");
    if (handler_enabled()) {
        mIsSeekEvent.store(true);
        player_tell(setUserPlayerStateListener_OnSeekStart);
    }
}

void cb_OnSeekComplete() {
    LOGD(kTag, "Player State Inner Callback: OnSeekComplete\n");
    if (handler_enabled()) {
        mIsSeekEvent.store(false);
        player_tell(setUserPlayerStateListener_OnSeekComplete);
    }
}

void cb_OnBufferingStart() {
    const uint64_t ticket = player_event_ticket(kAlbumPlayer);
    LOGD(kTag, "Player State Inner Callback: OnBufferingStart\n");
    if (handler_enabled()) {
        {
            PlayerGlobalLock lock;
            player_event_phase_locked(kAlbumPlayer, ticket, PlayerPhase::Buffering);
        }
        mBufferingStartTime.store(std::time(nullptr));
        buffering_report(1);
        player_tell(setUserPlayerStateListener_OnBufferingStart);
    }
}

void cb_OnBufferingComplete() {
    const uint64_t ticket = player_event_ticket(kAlbumPlayer);
    LOGD(kTag, "Player State Inner Callback: OnBufferingComplete\n");
    if (handler_enabled()) {
        {
            PlayerGlobalLock lock;
            player_event_phase_locked(kAlbumPlayer, ticket, PlayerPhase::Playing);
        }
        mBufferingStopTime.store(std::time(nullptr));
        buffering_report(0);
        player_tell(setUserPlayerStateListener_OnBufferingComplete);
    }
}

void cb_OnDownloadProgress(int64_t fetched, int64_t total) {
    if (handler_enabled()) {
        if (total > 0 && fetched == total) {
            prefetch_next_item(true);
        }
        player_tell(setUserDownloadProgressListener_OnDownloadProgress, fetched, total);
    }
}

void cb_OnPlayEnd() {
    const uint64_t ticket = player_event_ticket(kAlbumPlayer);
    LOGD(kTag, "Player State Inner Callback: OnPlayEnd\n");
    if (!handler_enabled()) {
        return;
    }
    // Decided under the lock against the record: an end of an item the user
    // already left, or that the user paused or stopped, moves nothing.
    PlayerGlobalLock lock;
    if (!player_may_move_locked(kAlbumPlayer, ticket)) {
        return;
    }
    player_tell(setUserPlayerStateListener_OnPlayEnd);
    if (!album_hasNext()) {
        // The last item ended: nothing will move on, so its play end is reported here.
        report_current_play_end_locked();
        player_event_phase_locked(kAlbumPlayer, ticket, PlayerPhase::Ended);
    }
    play_next_locked(PlayerMove::Auto);
}

// --- Fetch listener (pool worker, player global mutex held) ---

void onFetchPlaylistReady(dao_play_item *item) {
    LOGD(kTag, "Fetch Playlist Success, So Continue Left Operations ... \n");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Can Not Start Play... \n");
        return;
    }
    album_startPlayItem(item);
}

void onFetchPlaylistFailed(void * /*unused*/) {
    LOGW(kTag, "Fetch Playlist Failed, So Can Not Start Play... \n");
    const AlbumFetchFailure failure = album_fetch_failure();
    PlayerGlobalLock lock;
    player_start_failed_locked(kAlbumPlayer, failure.generation, failure.detail);
}

// rv_stop / rv_reset: nothing on its way plays; the engine stops when the album player has it.
void album_stop_command() {
    {
        PlayerGlobalLock lock;
        player_stop_locked();
    }
    album_stop();
}

void album_reset_command() {
    {
        PlayerGlobalLock lock;
        player_stop_locked();
    }
    album_reset();
}

const play_manager_ops kAlbumOps{
    .playByAudioBean = album_playByAudioBean,
    .playByPlayItem = album_playByPlayItem,
    .play = album_play,
    .pause = album_pause,
    .stop = album_stop_command,
    .reset = album_reset_command,
    .switchPlayerStatus = album_switchPlayerStatus,
    .seek = album_seek,
    .playPre = album_playPre,
    .playNext = album_playNext,
    .isPlaying = album_isPlaying,
    .isPaused = album_isPaused,
    .canSeek = album_canSeek,
    .hasPre = album_hasPre,
    .hasNext = album_hasNext,
    .getCurPlayItemIndex = album_getCurPlayItemIndex,
    .getCurPlayItem = album_getCurPlayItem,
    .getPlayItemIndex = album_getPlayItemIndex,
    .getPlayItem = album_getPlayItem,
    .getPlayListSize = album_getPlayListSize,
    .getPlayList = album_getPlayList,
    .fetchMorePlaylist = album_fetchMorePlaylist,
};

// The bean's resource as the album player's working copy; null when memory is short.
dao_play_audio_item *audio_item_of(const dao_play_audio_bean *bean) {
    std::unique_ptr<dao_play_audio_item, decltype(&dao_play_audio_item_del)> item(
        dao_play_audio_item_new(), dao_play_audio_item_del);
    if (!item) {
        return nullptr;
    }
    item->id = bean->id;
    item->audioId = bean->audioId;
    item->type = bean->type;
    item->sortType = bean->sortType;
    if ((bean->name != nullptr && (item->name = strdup(bean->name)) == nullptr) ||
        (bean->clockId != nullptr && (item->clockId = strdup(bean->clockId)) == nullptr)) {
        return nullptr;
    }
    item->forward = 1;
    item->haveNext = 1;
    if (bean->type == RV_RESOURCE_ALBUM) {
        if (bean->nextPage < 1 && bean->prePage < 1) {
            item->exhausted = 1;
            item->haveNext = 0;
            item->havePre = 0;
        } else {
            item->haveNext = bean->nextPage >= 1;
            item->nextPage = bean->nextPage;
            item->havePre = bean->prePage >= 2;
            item->prePage = bean->prePage;
        }
    }
    return item.release();
}

}  // namespace

int initPlayerAlbumManager(void) {
    mFetchPlaylistLisenter.store(&kFetchListener);
    player_install(kAlbumPlayer, album_disablePlayer,
                   []() -> const dao_play_item * { return album_getCurPlayItem(); });
    ipa_set_play_manager(kPlayerTypeAlbum, &kAlbumOps);
    return 1;
}

void destroyPlayerAlbumManager(void) {
    ipa_set_play_manager(kPlayerTypeAlbum, nullptr);
    player_install(kAlbumPlayer, nullptr, nullptr);
    mFetchPlaylistLisenter.store(nullptr);
}

void album_playByAudioBean(dao_play_audio_bean *bean) {
    RV_CALL_FUNC("album_playByAudioBean");
    if (bean == nullptr) {
        LOGW(kTag, "The AudioBean Is Invalid, So Can Not Start Play... \n");
        return;
    }
    dao_play_audio_item *item = audio_item_of(bean);
    if (item == nullptr) {
        return;
    }
    RV_CALL_FUNC("album_startPlayAudioItem");
    PlayerGlobalLock lock;
    report_current_play_end_locked();  // the audio being left
    player_navigate_locked(kAlbumPlayer, PlayerMove::Resource);
    album_setCurPlayAudioItem(item);
    album_fetchPlaylist(mFetchPlaylistLisenter.load(), item->clockId);
}

void album_playByPlayItem(dao_play_item *item) {
    RV_CALL_FUNC("album_playByPlayItem");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Can Not Start Play... \n");
        return;
    }
    const int32_t index = album_getPlayItemIndex(item);
    dao_play_item *current = album_getCurPlayItem();
    // The current item started again stays one item: reported when it is left.
    if (index < 0 || current == nullptr || current->audioId != item->audioId) {
        report_current_play_end_locked();
    }
    player_navigate_locked(kAlbumPlayer, PlayerMove::Resource);
    if (index < 0) {
        play_alone_locked(item);
        return;
    }
    album_startPlayItem(item);  // the list's position, the caller's source
}

void album_play(void) {
    RV_CALL_FUNC("album_play");
    player_note_intent(PlayerIntent::Play);
    if (!enabled_or_warn()) {
        return;
    }
    PlayerGlobalLock lock;
    if (player_needs_restart_locked(kAlbumPlayer)) {
        // Stopped, failed or at the end: the current item again, from its start.
        if (dao_play_item *current = album_getCurPlayItem()) {
            LOGD(kTag, "Play The Current Item Again From Its Start ... \n");
            player_navigate_locked(kAlbumPlayer, PlayerMove::User);
            album_startPlayItem(current);
        }
        return;
    }
    player_command_phase_locked(kAlbumPlayer, PlayerPhase::Playing);
    ijk_Play();
}

void album_pause(void) {
    RV_CALL_FUNC("album_pause");
    player_note_intent(PlayerIntent::Pause);
    if (!enabled_or_warn()) {
        return;
    }
    PlayerGlobalLock lock;
    player_command_phase_locked(kAlbumPlayer, PlayerPhase::Paused);
    ijk_Pause();
}

void album_stop(void) {
    engine_command("album_stop", ijk_Stop);
}

void album_reset(void) {
    RV_CALL_FUNC("album_reset");
    if (enabled_or_warn()) {
        mIsSeekEvent.store(false);
        mCurAudioPlayPosition.store(0);
        mCurAudioPlayedTime.store(0);
        ijk_Stop();
    }
}

void album_seek(int32_t msec) {
    RV_CALL_FUNC("album_seek");
    if (enabled_or_warn()) {
        ijk_SeekTo(static_cast<int64_t>(msec));
    }
}

bool album_isPlaying(void) {
    return engine_query("album_isPlaying", [] { return player_is_playing(kAlbumPlayer); });
}

bool album_isPaused(void) {
    return engine_query("album_isPaused", [] { return player_is_paused(kAlbumPlayer); });
}

bool album_canSeek(void) {
    RV_CALL_FUNC("album_canSeek");
    return enabled_or_warn();
}

void album_switchPlayerStatus(void) {
    RV_CALL_FUNC("album_switchPlayerStatus");
    if (!enabled_or_warn()) {
        return;
    }
    if (album_isPlaying()) {
        LOGD(kTag, "播放->暂停 \n");
        album_pause();
    } else {
        RV_CALL_FUNC("album_needReStart");
        LOGD(kTag, "暂停->继续播放 \n");
        album_play();
    }
}

bool album_hasPre(void) {
    RV_CALL_FUNC("album_hasPre");
    if (!enabled_or_warn()) {
        return false;
    }
    PlayerGlobalLock lock;
    if (album_getCurPlayItemIndex() > 0 && album_getPlayListSize() >= 0) {
        return true;
    }
    const dao_play_audio_item *resource = album_getCurPlayAudioItem();
    return resource != nullptr && resource->type != RV_RESOURCE_SMARTCAST && resource->havePre;
}

bool album_hasNext(void) {
    RV_CALL_FUNC("album_hasNext");
    if (!enabled_or_warn()) {
        return false;
    }
    PlayerGlobalLock lock;
    const int32_t index = album_getCurPlayItemIndex();
    if (index >= 0 && index + 1 < album_getPlayListSize()) {
        return true;
    }
    const dao_play_audio_item *resource = album_getCurPlayAudioItem();
    return resource != nullptr && resource->haveNext;
}

void album_playNext(void) {
    RV_CALL_FUNC("album_playNext");
    if (!enabled_or_warn()) {
        return;
    }
    PlayerGlobalLock lock;
    play_next_locked(PlayerMove::User);
}

void album_playPre(void) {
    RV_CALL_FUNC("album_playPre");
    if (!enabled_or_warn()) {
        return;
    }
    PlayerGlobalLock lock;
    if (!leave_current_locked(album_hasPre, "Do Not Have Prev , So Can Not Start Play... \n",
                              PlayerMove::User)) {
        return;
    }
    const int32_t index = album_getCurPlayItemIndex();
    if (index >= 1) {
        album_startPlayItem(album_getPlayItem(index - 1));
        return;
    }
    // Before the list's start: the earlier page, whose last item is the one
    // before the current item.
    dao_play_audio_item *resource = album_getCurPlayAudioItem();
    const dao_play_item *first = album_getPlayItem(0);
    resource->forward = 0;
    album_fetchMorePlaylist(mFetchPlaylistLisenter.load(),
                            first != nullptr ? first->clockId : nullptr);
    resource->forward = 1;
}

void album_enablePlayer(void) {
    RV_CALL_FUNC("album_enablePlayer");
    PlayerGlobalLock lock;
    if (!player_enable_locked(kAlbumPlayer)) {
        return;
    }
    album_reset();
    album_disableOtherPlayer();
    RV_CALL_FUNC("album_registerPlayStateListener");
    register_cb_onError(cb_OnError);
    register_cb_onPlaying(cb_OnPlaying);
    register_cb_onPrepareComplete(cb_OnPrepareComplete);
    register_cb_onProgress(cb_OnProgress);
    register_cb_onPaused(cb_OnPaused);
    register_cb_onSeekStart(cb_OnSeekStart);
    register_cb_onSeekComplete(cb_OnSeekComplete);
    register_cb_onBufferingStart(cb_OnBufferingStart);
    register_cb_onDownloadProgress(cb_OnDownloadProgress);
    register_cb_onBufferingComplete(cb_OnBufferingComplete);
    register_cb_onPlayEnd(cb_OnPlayEnd);
}

void album_disablePlayer(void) {
    RV_CALL_FUNC("album_disablePlayer");
    PlayerGlobalLock lock;
    if (!player_disable_locked(kAlbumPlayer)) {
        return;
    }
    album_reset();  // only warns now: the player taking over resets the engine
    RV_CALL_FUNC("album_unregisterPlayStateListener");
    unregister_cb_player_status();
    report_current_play_end_locked();
}

void album_disableOtherPlayer(void) {
    RV_CALL_FUNC("album_disableOtherPlayer");
    PlayerGlobalLock lock;
    player_disable_other_locked(kAlbumPlayer);
}

bool album_isPlayerEnable(void) {
    RV_CALL_FUNC("album_isPlayerEnable");
    return player_is_enabled(kAlbumPlayer);
}

void album_startPlayItem(dao_play_item *item) {
    RV_CALL_FUNC("album_startPlayItem");
    PlayerGlobalLock lock;
    if (item == nullptr) {
        LOGW(kTag, "The PlayItem Is Invalid, So Abandon Left Operations ... \n");
        return;
    }
    album_reset();
    album_enablePlayer();
    album_updateCurPlayItemIndex(item);
    PlayerRecord &record = record_locked();
    record.reported = false;
    record.phase = PlayerPhase::Preparing;
    RV_CALL_FUNC("album_startPlayItemInner");
    LOGD(kTag, "Now really start to play by ijkplayer. \n");
    LOGD(kTag, "Audio To Play [audioId=%lld] \n", static_cast<long long>(item->audioId));
    if (item->playUrl == nullptr) {
        LOGW(kTag, "The playUrl Is NULL, So Abandon Left Operations ... \n");
        player_start_failed_locked(kAlbumPlayer, record.generation, RV_START_NO_PLAY_URL);
        return;
    }
    // A downloaded audio plays from its file: no data used, and no coverage needed.
    const std::string stored = rv::dl::playable_path(item->audioId);
    ijk_SetDataSource(stored.empty() ? item->playUrl : stored.c_str());
    record.source = ijk_PreparePaused();
    ijk_Setdurtion(item->duration / 1000, item->originalDuration / 1000);
}

void album_reportPlayEnd(dao_play_item *item) {
    RV_CALL_FUNC("album_reportPlayEnd");
    if (item == nullptr) {
        return;
    }
    const std::string playtime = std::to_string(mCurAudioPlayedTime.load() / 1000 + 1);
    send_item_report(item,
                     {{&dao_report::playtime, playtime.c_str()},
                      {&dao_report::eventcode, "101010"},
                      {&dao_report::remarks1, "player"},
                      {&dao_report::remarks4, mFirstPlayEndReport.exchange(false) ? "1" : "0"}});
}

void album_reportBuffering(dao_play_item *item, int32_t kind) {
    RV_CALL_FUNC("album_reportBuffering");
    if (item == nullptr) {
        return;
    }
    const char *type = mIsSeekEvent.load() ? "1" : "0";
    if (kind == 1) {
        send_item_report(item, {{&dao_report::type, type},
                                {&dao_report::remarks2, item->playUrl},
                                {&dao_report::eventcode, "300030"}});
        return;
    }
    mIsSeekEvent.store(false);
    const std::string playtime =
        std::to_string(static_cast<int>(mBufferingStopTime.load() - mBufferingStartTime.load()));
    send_item_report(item, {{&dao_report::type, type},
                            {&dao_report::remarks2, item->playUrl},
                            {&dao_report::eventcode, "300022"},
                            {&dao_report::playtime, playtime.c_str()}});
}
