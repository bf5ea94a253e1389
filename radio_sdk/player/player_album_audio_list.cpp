#include "player/player_album_audio_list.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "iface/album_impl.h"
#include "iface/smartcast_impl.h"
#include "player/player_album_audio_item_list.h"
#include "player/player_manager.h"
#include "request/download_manager.h"
#include "rv_data.h"
#include "rv_error.h"
#include "util/debug.h"

namespace {

constexpr int32_t kPageSize = 20;

// The play list. Nodes and items change only under the player global mutex
// (engine thread, the thread delivering listener calls, application thread);
// never while a listener slot runs (see in_turn). The pointer is atomic
// because album_getPlayList reads it without it. The record stays the same
// from start-up to shut-down, so the application's pointer stays valid. The
// current index (mCurPlayItemIndex) is in the album player's record.
std::atomic<List *> mPlayItemList{nullptr};

int32_t &index_locked() {
    return player_record_locked(kAlbumPlayer).index;
}

// Which way a fetch goes: the first page of a resource, the page after the
// list's end, or the page before its start.
enum class Direction { First, Forward, Backward };

// Carries the listener through a request, with the direction the answer is
// for and the album player's generation when it was asked.
struct FetchHolder {
    FetchPlaylistListener *listener;
    Direction direction;
    uint64_t generation;
};
using Holder = std::unique_ptr<FetchHolder>;

Holder take_holder(void *user) {
    return Holder(static_cast<FetchHolder *>(user));
}

void _notify_onPlayItemReady(Holder holder, dao_play_item *item) {
    if (holder && holder->listener != nullptr && holder->listener->onPlayItemReady != nullptr) {
        holder->listener->onPlayItemReady(item);
    }
}

// The failure being delivered on this thread (the listener's slot carries none).
thread_local AlbumFetchFailure t_failure;

// `detail`: the request's result code, or RV_START_NOTHING_TO_PLAY.
void _notify_onPlayItemUnavailable(Holder holder, int32_t detail = RV_START_NOTHING_TO_PLAY) {
    if (holder && holder->listener != nullptr &&
        holder->listener->onPlayItemUnavailable != nullptr) {
        t_failure = AlbumFetchFailure{holder->generation, detail};
        holder->listener->onPlayItemUnavailable(nullptr);
        t_failure = AlbumFetchFailure{};
    }
}

using ListPtr = std::unique_ptr<List, decltype(&ListFree)>;

ListPtr new_play_list() {
    return ListPtr(ListNew(reinterpret_cast<ListFreeItem>(dao_play_item_del)), ListFree);
}

// Position of the last item whose audioId is `audio_id`, or -1. Lock held.
int32_t last_index_of_locked(int64_t audio_id) {
    int32_t found = -1;
    int32_t at = 0;
    for (ListItem *node = ListFirst(mPlayItemList.load()); node != nullptr;
         node = ListNext(node), ++at) {
        if (static_cast<dao_play_item *>(node->data)->audioId == audio_id) {
            found = at;
        }
    }
    return found;
}

// True when the play list or `items` already hold the audio. Lock held.
bool listed_locked(const List *items, int64_t audio_id) {
    for (const List *list : {static_cast<const List *>(mPlayItemList.load()), items}) {
        for (ListItem *node = ListFirst(list); node != nullptr; node = ListNext(node)) {
            if (static_cast<dao_play_item *>(node->data)->audioId == audio_id) {
                return true;
            }
        }
    }
    return false;
}

// The audios of an answer as play items, in order; `adjust` finishes each
// one. Audios whose item cannot be made, and audios the play list already
// holds (a page asked for twice), are left out. Lock held.
template <class Adjust>
ListPtr play_items_of(const List *audios, Adjust adjust) {
    ListPtr items = new_play_list();
    for (ListItem *node = ListFirst(audios); items && node != nullptr; node = ListNext(node)) {
        const auto *audio = static_cast<const dao_audio *>(node->data);
        if (audio == nullptr || listed_locked(items.get(), audio->audioId)) {
            continue;
        }
        dao_play_item *item = transformAudioToPlayItem(audio);
        if (item == nullptr) {
            continue;
        }
        adjust(item);
        if (ListAppend(items.get(), item) == nullptr) {
            dao_play_item_del(item);
        }
    }
    return items;
}

// The set's audios as album items; locates (and then forgets) the start audio.
// Lock held.
ListPtr album_items_locked(const dao_audio_set *set, dao_play_audio_item *resource,
                           dao_play_item **located) {
    const int64_t wanted = resource->audioId;
    ListPtr items = play_items_of(set->list, [&](dao_play_item *item) {
        item->type = RV_RESOURCE_ALBUM;
        if (wanted >= 1 && item->audioId == wanted) {
            *located = item;
        }
    });
    // Found or not, the audio id has served: the next fetch asks for a page
    // by number, so no page is added twice.
    resource->audioId = 0;
    return items;
}

// The item an answer plays when the play list already held what it brought
// (the same page asked for by rv_fetchMorePlaylist was answered first): for a
// first answer the wanted audio, else the list's first item; going on or
// back, the item next to the current one. Lock held.
dao_play_item *first_of_listed_locked(Direction direction, int64_t wanted) {
    if (direction != Direction::First) {
        const int32_t current = album_getCurPlayItemIndex();
        return album_getPlayItem(direction == Direction::Backward ? current - 1 : current + 1);
    }
    const int32_t at = wanted >= 1 ? last_index_of_locked(wanted) : -1;
    return album_getPlayItem(at >= 0 ? at : 0);
}

// Hands the target over, or reports that there is none.
void notify_target(Holder holder, dao_play_item *target) {
    if (target != nullptr) {
        _notify_onPlayItemReady(std::move(holder), target);
    } else {
        _notify_onPlayItemUnavailable(std::move(holder));
    }
}

dao_play_item *item_at(ListItem *node) {
    return node != nullptr ? static_cast<dao_play_item *>(node->data) : nullptr;
}

// Paging state after an album answer. The first answer sets both ends; a
// forward answer only the end after the list, a backward one only the start.
// A page after the first has an earlier one, whatever the bean said.
void update_paging_locked(dao_play_audio_item *resource, const dao_audio_set *set,
                          Direction direction) {
    if (direction == Direction::First || (resource->havePre && direction == Direction::Backward)) {
        resource->havePre = set->havePre != 0 || set->currentPage > 1;
        resource->prePage = set->prePage >= 1 ? set->prePage : set->currentPage - 1;
    }
    if (resource->haveNext && direction != Direction::Backward) {
        resource->haveNext = set->haveNext != 0;
        resource->nextPage = set->nextPage;
    }
    resource->exhausted = !resource->haveNext && !resource->havePre;
}

// An answer for an earlier resource or item, or for a player that gave the
// engine up: it is answered as unavailable (the application's own listener of
// rv_fetchMorePlaylist hears once) and changes nothing. Lock held.
bool stale_locked(Holder &holder) {
    if (!player_answer_stale_locked(kAlbumPlayer, holder->generation)) {
        return false;
    }
    _notify_onPlayItemUnavailable(std::move(holder));
    return true;
}

void cb_fetch_album_playlist(int result, void *data, int /*count*/, void *user) {
    PlayerGlobalLock lock;
    Holder holder = take_holder(user);
    std::unique_ptr<dao_audio_set, decltype(&dao_audio_set_del)> set(
        static_cast<dao_audio_set *>(data), dao_audio_set_del);
    if (stale_locked(holder)) {
        return;
    }
    dao_play_audio_item *resource = album_getCurPlayAudioItem();
    if (result != 0 && resource != nullptr) {
        // No answer (no coverage, the service gone, a start-up that never reached it):
        // a downloaded album plays from the store, as one last page.
        if (dao_audio_set *stored = rv::dl::album_page(resource->id)) {
            LOGW("PLAYER", "album %lld plays from the download store: %s \n",
                 static_cast<long long>(resource->id), rve_rve2str(result));
            set.reset(stored);
            result = 0;
        }
    }
    if (result != 0 || !set || ListLength(set->list) == 0 || resource == nullptr) {
        _notify_onPlayItemUnavailable(std::move(holder),
                                      result != 0 ? result : RV_START_NOTHING_TO_PLAY);
        return;
    }
    update_paging_locked(resource, set.get(), holder->direction);
    const int64_t wanted = resource->audioId;
    dao_play_item *located = nullptr;
    ListPtr items = album_items_locked(set.get(), resource, &located);
    dao_play_item *target = located;
    if (target == nullptr) {
        // Going back, the item before the list's start is the page's last.
        target = item_at(holder->direction == Direction::Backward ? ListLast(items.get())
                                                                  : ListFirst(items.get()));
    }
    if (target == nullptr) {
        target = first_of_listed_locked(holder->direction, wanted);
    }
    if (holder->direction == Direction::Backward) {
        addPlaylistToHeader(items.release());
    } else {
        addPlaylist(items.release());
    }
    notify_target(std::move(holder), target);
}

void cb_fetch_smartcast_playlist(int result, void *data, int /*count*/, void *user) {
    PlayerGlobalLock lock;
    Holder holder = take_holder(user);
    ListPtr audios(static_cast<List *>(data), ListFree);
    if (stale_locked(holder)) {
        return;
    }
    dao_play_audio_item *resource = album_getCurPlayAudioItem();
    if (result != 0 || !audios || resource == nullptr) {
        _notify_onPlayItemUnavailable(std::move(holder),
                                      result != 0 ? result : RV_START_NOTHING_TO_PLAY);
        return;
    }
    if (ListLength(audios.get()) == 0) {
        resource->exhausted = 1;
        _notify_onPlayItemUnavailable(std::move(holder));
        return;
    }
    ListPtr items = play_items_of(audios.get(), [&](dao_play_item *item) {
        if (resource->type == RV_RESOURCE_SMARTCAST) {
            item->type = RV_RESOURCE_SMARTCAST;
            if (resource->name != nullptr) {
                item->radioName = strdup(resource->name);
            }
        }
    });
    dao_play_item *target = item_at(ListFirst(items.get()));
    if (target == nullptr) {
        target = first_of_listed_locked(holder->direction, 0);
    }
    addPlaylist(items.release());
    notify_target(std::move(holder), target);
}

// A single audio: its details make a one-item play list, and nothing follows.
void cb_fetch_audio_info(int result, void *data, int /*count*/, void *user) {
    PlayerGlobalLock lock;
    Holder holder = take_holder(user);
    std::unique_ptr<dao_audio, decltype(&dao_audio_del)> audio(static_cast<dao_audio *>(data),
                                                               dao_audio_del);
    if (stale_locked(holder)) {
        return;
    }
    dao_play_audio_item *resource = album_getCurPlayAudioItem();
    // Asked twice (by the player and by rv_fetchMorePlaylist): listed once,
    // and the player's first answer plays what is listed.
    const bool listed = audio && listed_locked(nullptr, audio->audioId);
    if (result == 0 && listed && resource != nullptr) {
        notify_target(std::move(holder), first_of_listed_locked(holder->direction, audio->audioId));
        return;
    }
    dao_play_item *item =
        result == 0 && audio && !listed ? transformAudioToPlayItem(audio.get()) : nullptr;
    ListPtr items = new_play_list();
    if (item == nullptr || resource == nullptr || !items ||
        ListAppend(items.get(), item) == nullptr) {
        dao_play_item_del(item);
        _notify_onPlayItemUnavailable(std::move(holder),
                                      result != 0 ? result : RV_START_NOTHING_TO_PLAY);
        return;
    }
    resource->haveNext = 0;
    resource->exhausted = 1;
    addPlaylist(items.release());
    _notify_onPlayItemReady(std::move(holder), item);
}

// A fetch's answer, taken in turn with the players' listener calls: the
// thread delivering them runs it, after the calls decided before it. So a
// page never joins the play list while a listener slot runs, and a slot may
// walk the list (the header promises it). Out of turn only when memory is
// short: answered late is better than never.
template <void (*Answer)(int, void *, int, void *)>
void in_turn(int result, void *data, int count, void *user) {
    try {
        player_queue_listener_call([=] { Answer(result, data, count, user); });
    } catch (const std::bad_alloc &) {
        Answer(result, data, count, user);
        return;
    }
    if (!player_lock_held_here()) {
        player_deliver_listener_calls();
    }
}

// One request for the current resource. Lock held.
void fetch_more_playlist_unsafe(FetchPlaylistListener *listener, const char *clock_id,
                                Direction direction) {
    Holder holder;
    try {
        holder = std::make_unique<FetchHolder>(
            FetchHolder{listener, direction, player_generation_locked(kAlbumPlayer)});
    } catch (const std::bad_alloc &) {
        if (listener != nullptr && listener->onPlayItemUnavailable != nullptr) {
            listener->onPlayItemUnavailable(nullptr);
        }
        return;
    }
    dao_play_audio_item *resource = album_getCurPlayAudioItem();
    if (resource == nullptr || resource->exhausted) {
        _notify_onPlayItemUnavailable(std::move(holder));
        return;
    }
    switch (resource->type) {
        case RV_RESOURCE_SMARTCAST:
            ipa_get_smartcast_playlist(resource->id, clock_id, in_turn<cb_fetch_smartcast_playlist>,
                                       holder.release());
            return;
        case RV_RESOURCE_AUDIO:
            ipa_get_album_audio_info(resource->audioId, in_turn<cb_fetch_audio_info>,
                                     holder.release());
            return;
        case RV_RESOURCE_ALBUM:
            break;
        default:
            _notify_onPlayItemUnavailable(std::move(holder));
            return;
    }
    const bool forward = direction != Direction::Backward;
    if (!(forward ? resource->haveNext : resource->havePre)) {
        _notify_onPlayItemUnavailable(std::move(holder));
        return;
    }
    int32_t page = forward ? resource->nextPage : resource->prePage;
    int64_t audio_id = 0;
    if (resource->audioId >= 1) {
        page = 0;
        audio_id = resource->audioId;
    }
    ipa_get_album_playlist(resource->id, resource->sortType, page, kPageSize, audio_id,
                           in_turn<cb_fetch_album_playlist>, holder.release());
}

// False (with the warning) when `list` holds other records than `dest`.
bool same_records(const List *dest, const List *list) {
    if (list->free_item != dest->free_item) {
        LOGW("?", "list type \n");
        return false;
    }
    return true;
}

}  // namespace

AlbumFetchFailure album_fetch_failure() {
    return t_failure;
}

int initPlayerAlbumAudioList(void) {
    PlayerGlobalLock lock;
    index_locked() = 0;
    if (mPlayItemList.load() == nullptr) {
        mPlayItemList.store(new_play_list().release());
    }
    initPlayerAlbumAudioItemList();
    return 1;
}

void destoryPlayerAlbumAudioList(void) {
    {
        PlayerGlobalLock lock;
        index_locked() = 0;
        ListFree(mPlayItemList.exchange(nullptr));
    }
    destoryPlayerAlbumAudioItemList();
}

List *album_getPlayList(void) {
    return mPlayItemList.load();
}

int32_t album_getPlayListSize(void) {
    PlayerGlobalLock lock;
    return static_cast<int32_t>(ListLength(mPlayItemList.load()));
}

int32_t album_getCurPlayItemIndex(void) {
    PlayerGlobalLock lock;
    return index_locked();
}

void album_setCurPlayItemIndex(int32_t index) {
    PlayerGlobalLock lock;
    if (index >= 0 && index < album_getPlayListSize()) {
        index_locked() = index;
    }
}

void album_updateCurPlayItemIndex(dao_play_item *item) {
    PlayerGlobalLock lock;
    if (item == nullptr) {
        return;
    }
    const int32_t index = last_index_of_locked(item->audioId);
    if (index >= 0) {
        index_locked() = index;
    }
}

int32_t album_getPlayItemIndex(dao_play_item *item) {
    PlayerGlobalLock lock;
    return item != nullptr ? last_index_of_locked(item->audioId) : -1;
}

dao_play_item *album_getPlayItem(int32_t index) {
    PlayerGlobalLock lock;
    ListItem *node = ListAt(mPlayItemList.load(), index);
    return node != nullptr ? static_cast<dao_play_item *>(node->data) : nullptr;
}

dao_play_item *album_getCurPlayItem(void) {
    PlayerGlobalLock lock;
    return album_getPlayItem(index_locked());
}

void album_clearPlayList(void) {
    PlayerGlobalLock lock;
    index_locked() = 0;
    ListRemoveAll(mPlayItemList.load());
}

void addPlaylist(List *list) {
    PlayerGlobalLock lock;
    List *play_list = mPlayItemList.load();
    if (list == nullptr || play_list == nullptr) {
        ListFree(list);
        return;
    }
    if (!same_records(play_list, list) || !ListMerge(play_list, list)) {
        ListFree(list);
    }
}

void addPlaylistToHeader(List *list) {
    PlayerGlobalLock lock;
    List *play_list = mPlayItemList.load();
    ListPtr page(list, ListFree);
    if (!page || play_list == nullptr) {
        return;
    }
    if (!same_records(play_list, page.get())) {
        return;
    }
    // Into the same record: the application may hold the play list.
    for (ListItem *node = ListLast(page.get()); node != nullptr; node = ListLast(page.get())) {
        void *item = node->data;
        ListRemoveWithoutFree(page.get(), item);
        if (ListPrepend(play_list, item) == nullptr) {
            dao_play_item_del(static_cast<dao_play_item *>(item));
        }
    }
}

void album_fetchPlaylist(FetchPlaylistListener *listener, const char *clock_id) {
    PlayerGlobalLock lock;
    album_clearPlayList();
    fetch_more_playlist_unsafe(listener, clock_id, Direction::First);
}

void album_fetchMorePlaylist(FetchPlaylistListener *listener, const char *clock_id) {
    PlayerGlobalLock lock;
    dao_play_audio_item *resource = album_getCurPlayAudioItem();
    fetch_more_playlist_unsafe(
        listener, clock_id,
        resource == nullptr || resource->forward ? Direction::Forward : Direction::Backward);
}
