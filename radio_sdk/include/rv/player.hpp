/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): the player, its listeners and
 * the handles that keep them registered.
 */
#ifndef RV_PLAYER_HPP
#define RV_PLAYER_HPP

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calls.hpp"
#include "function.hpp"
#include "future.hpp"

namespace rv {

namespace detail {

// rv_fetchMorePlaylist's listener record carries no user pointer, so the
// fetches started here share one static record and go one at a time: each
// waits until the one before it has been answered. fetch() has the shape of a
// data function, so detail::call serves it like the others.
class FetchQueue {
  public:
    // Answers `done` exactly once: RVE_OK with the first item fetched (kept by
    // the play list), or RVE_FAILED when nothing was fetched.
    static void fetch(const char *clock_id, rv_result_callback done, void *user) noexcept {
        FetchQueue &queue = get();
        bool first = false;
        try {
            Lock lock(queue.mutex_);
            queue.waiting_.push_back({clock_id != nullptr ? clock_id : "", done, user});
            first = queue.waiting_.size() == 1;
        } catch (...) {
            done(RVE_NO_MEMORY, nullptr, 0, user);
            return;
        }
        if (first) {
            queue.start_front();
        }
    }

  private:
    struct Waiting {
        std::string clock_id;  // "" for albums
        rv_result_callback done;
        void *user;
    };

    static FetchQueue &get() {
        static FetchQueue queue;
        return queue;
    }
    static FetchPlaylistListener &record() {
        static FetchPlaylistListener record{
            .onPlayItemReady = [](dao_play_item *item) { get().finish(RVE_OK, item); },
            .onPlayItemUnavailable = [](void *) { get().finish(RVE_FAILED, nullptr); },
        };
        return record;
    }

    // The SDK may answer on this thread before rv_fetchMorePlaylist returns,
    // so the clock id is passed as a copy, and no lock of ours is held.
    void start_front() noexcept {
        std::string clock_id;
        try {
            Lock lock(mutex_);
            clock_id = waiting_.front().clock_id;
        } catch (...) {
            finish(RVE_NO_MEMORY, nullptr);
            return;
        }
        rv_fetchMorePlaylist(&record(), clock_id.empty() ? nullptr : clock_id.c_str());
    }

    void finish(int code, dao_play_item *item) noexcept {
        std::optional<Waiting> answered;
        bool more = false;
        {
            Lock lock(mutex_);
            if (waiting_.empty()) {
                return;  // not one of ours
            }
            answered.emplace(std::move(waiting_.front()));
            waiting_.erase(waiting_.begin());
            more = !waiting_.empty();
        }
        answered->done(code, item, item != nullptr ? 1 : 0, answered->user);
        if (more) {
            start_front();
        }
    }

    // Guards waiting_ (the front entry is the fetch in flight); taken by the
    // calling threads and by the answers (worker or calling thread).
    Mutex mutex_;
    std::vector<Waiting> waiting_;  // a handful at most
};

}  // namespace detail

/// Receives the player's events; override what you need. Registered with
/// rv::Player::listen for the lifetime of the handle it returns. Methods run on
/// the SDK's threads (named per method); this header holds no lock of its own
/// while they run, and the player's lock is recursive, so they may call any
/// rv::Player method from any method, on_live_program_updated included. They
/// must return promptly and must not destroy the rv::Sdk. An exception they
/// throw is logged and dropped.
class PlayerListener {
  public:
    virtual ~PlayerListener() = default;
    /// The item is ready to play. Engine event thread.
    virtual void on_prepare_complete() {}
    /// Playing started or resumed. Thread of the command that caused it.
    virtual void on_playing() {}
    /// Paused. Thread of the command that caused it.
    virtual void on_paused() {}
    /// Position and duration in ms: kind RV_PROGRESS_PLAYER about every 500 ms
    /// from the engine's event thread; RV_PROGRESS_LIVE once a second from the
    /// live-programme clock's thread.
    virtual void on_progress(int32_t /*kind*/, int64_t /*position*/, int64_t /*duration*/) {}
    /// An error, as OnError (rv_player.h): RV_ERROR_WHAT_ENGINE with an
    /// RV_ERROR_DETAIL_… (engine event thread), or RV_ERROR_WHAT_START_FAILED
    /// with a result code or an RV_START_….
    virtual void on_error(int32_t /*what*/, int32_t /*detail*/) {}
    /// The item played to its end. Engine event thread.
    virtual void on_play_end() {}
    /// A seek began. Thread of the rv::Player::seek call.
    virtual void on_seek_start() {}
    /// A seek finished. Engine event thread.
    virtual void on_seek_complete() {}
    /// Playback stalls for input. Engine event thread.
    virtual void on_buffering_start() {}
    /// Playback goes on after a stall. Engine event thread.
    virtual void on_buffering_complete() {}
    /// Bytes received and total (or ms buffered ahead and duration) about once
    /// a second while an item downloads (setPlayerDownloadProgressListener).
    /// Engine event thread.
    virtual void on_download_progress(int64_t /*received*/, int64_t /*total*/) {}
    /// Now playing on a live stream changed, as its audio is heard: title and
    /// artist, UTF-8, either may be empty (setPlayerMetadataListener). Engine
    /// event thread.
    virtual void on_metadata(const std::string & /*title*/, const std::string & /*artist*/) {}
    /// A new programme is live on the broadcast being played. SDK worker thread.
    virtual void on_live_program_updated(const PlayItem & /*item*/) {}
    /// The player's state changed (transitions: rv_player_state in rv_player.h).
    /// Thread of the command or event that caused it.
    virtual void on_state_changed(rv_player_state /*state*/) {}
    /// Another item became the current one. Same threads.
    virtual void on_item_changed(const PlayItem & /*item*/) {}
    /// The last item of the play list ended. Engine event thread.
    virtual void on_list_ended() {}
    /// A start could not play its item (what RV_ERROR_WHAT_START_FAILED, detail
    /// as for on_error). SDK worker thread or the commanding thread.
    virtual void on_start_failed(int32_t /*what*/, int32_t /*detail*/) {}
};

/// A listener made of individual callables; unset ones are skipped.
struct PlayerCallbacks : PlayerListener {
    ///@{
    /// Each is called by the on_… method of the same name; unset: skipped.
    Function<void()> prepare_complete, playing, paused, play_end, seek_start, seek_complete,
        buffering_start, buffering_complete, list_ended;
    ///@}
    /// Called by on_progress.
    Function<void(int32_t kind, int64_t position, int64_t duration)> progress;
    /// Called by on_error.
    Function<void(int32_t what, int32_t detail)> error;
    /// Called by on_start_failed.
    Function<void(int32_t what, int32_t detail)> start_failed;
    /// Called by on_state_changed.
    Function<void(rv_player_state)> state_changed;
    /// Called by on_item_changed.
    Function<void(const PlayItem &)> item_changed;
    /// Called by on_download_progress.
    Function<void(int64_t received, int64_t total)> download_progress;
    /// Called by on_metadata.
    Function<void(const std::string &title, const std::string &artist)> metadata;
    /// Called by on_live_program_updated.
    Function<void(const PlayItem &)> live_program_updated;

    void on_prepare_complete() override { run(prepare_complete); }
    void on_playing() override { run(playing); }
    void on_paused() override { run(paused); }
    void on_progress(int32_t k, int64_t p, int64_t d) override { run(progress, k, p, d); }
    void on_error(int32_t what, int32_t detail) override { run(error, what, detail); }
    void on_play_end() override { run(play_end); }
    void on_seek_start() override { run(seek_start); }
    void on_seek_complete() override { run(seek_complete); }
    void on_buffering_start() override { run(buffering_start); }
    void on_buffering_complete() override { run(buffering_complete); }
    void on_download_progress(int64_t r, int64_t t) override { run(download_progress, r, t); }
    void on_metadata(const std::string &t, const std::string &a) override { run(metadata, t, a); }
    void on_live_program_updated(const PlayItem &i) override { run(live_program_updated, i); }
    void on_state_changed(rv_player_state s) override { run(state_changed, s); }
    void on_item_changed(const PlayItem &i) override { run(item_changed, i); }
    void on_list_ended() override { run(list_ended); }
    void on_start_failed(int32_t what, int32_t detail) override { run(start_failed, what, detail); }

  private:
    template <class Fn, class... A>
    static void run(const Fn &fn, const A &...a) {
        if (fn) {
            fn(a...);
        }
    }
};

namespace detail {

// Each C++ listener is one C listener of rv_addPlayerListener, with the
// PlayerListener as its user pointer; a method that throws is logged.
struct ListenerEvents {
    template <class... P, class... A>
    static void forward(void *user, void (PlayerListener::*method)(P...),
                        const A &...args) noexcept {
        try {
            (static_cast<PlayerListener *>(user)->*method)(args...);
        } catch (...) {
            log_dropped_exception("player listener");
        }
    }
    template <void (PlayerListener::*Method)(const PlayItem &)>
    static void item(void *user, const dao_play_item *item) noexcept {
        std::optional<PlayItem> value;
        try {
            value = item_value(item);
        } catch (...) {
            log_dropped_exception("player listener");
        }
        if (value) {
            forward(user, Method, *value);
        }
    }
    static void item_changed(void *user, dao_play_item *owned) noexcept {
        item<&PlayerListener::on_item_changed>(user, owned);
        dao_play_item_del(owned);
    }
    static void metadata(void *user, const char *title, const char *artist) noexcept {
        std::optional<std::pair<std::string, std::string>> texts;
        try {
            texts.emplace(title, artist);
        } catch (...) {
            log_dropped_exception("player listener");
        }
        if (texts) {
            forward(user, &PlayerListener::on_metadata, texts->first, texts->second);
        }
    }
    static const rv_player_events &record() {
        static const rv_player_events events = [] {
            rv_player_events e{};
            e.struct_size = sizeof e;
            e.on_prepare_complete = [](void *u) {
                forward(u, &PlayerListener::on_prepare_complete);
            };
            e.on_playing = [](void *u) { forward(u, &PlayerListener::on_playing); };
            e.on_paused = [](void *u) { forward(u, &PlayerListener::on_paused); };
            e.on_progress = [](void *u, int32_t kind, int64_t position, int64_t duration) {
                forward(u, &PlayerListener::on_progress, kind, position, duration);
            };
            e.on_error = [](void *u, int32_t what, int32_t detail) {
                forward(u, &PlayerListener::on_error, what, detail);
            };
            e.on_play_end = [](void *u) { forward(u, &PlayerListener::on_play_end); };
            e.on_seek_start = [](void *u) { forward(u, &PlayerListener::on_seek_start); };
            e.on_seek_complete = [](void *u) { forward(u, &PlayerListener::on_seek_complete); };
            e.on_buffering_start = [](void *u) { forward(u, &PlayerListener::on_buffering_start); };
            e.on_buffering_complete = [](void *u) {
                forward(u, &PlayerListener::on_buffering_complete);
            };
            e.on_download_progress = [](void *u, int64_t fetched, int64_t total) {
                forward(u, &PlayerListener::on_download_progress, fetched, total);
            };
            e.on_live_program_updated = &item<&PlayerListener::on_live_program_updated>;
            e.on_metadata = &metadata;
            e.on_state_changed = [](void *u, rv_player_state state) {
                forward(u, &PlayerListener::on_state_changed, state);
            };
            e.on_item_changed = &item_changed;
            e.on_list_ended = [](void *u) { forward(u, &PlayerListener::on_list_ended); };
            e.on_start_failed = [](void *u, int32_t what, int32_t detail) {
                forward(u, &PlayerListener::on_start_failed, what, detail);
            };
            return e;
        }();
        return events;
    }
};

}  // namespace detail

/// Keeps a listener registered; destroying it unregisters the listener, which
/// receives nothing once the destructor has returned (a call in progress on
/// another thread is waited for, and callables given to listen() are destroyed
/// before it returns), also from inside another listener's call. From inside a
/// call of its own listener it does not wait: no call starts afterwards, but one
/// running on another thread may still finish, and callables are destroyed with
/// the last call. Move-only.
class ListenerHandle {
  public:
    ListenerHandle() = default;
    /// Takes over `other`'s registration; `other` is left empty.
    ListenerHandle(ListenerHandle &&other) noexcept : id_(std::exchange(other.id_, 0)) {}
    /// Unregisters this handle's listener, then takes over `other`'s.
    ListenerHandle &operator=(ListenerHandle &&other) noexcept {
        reset();
        id_ = std::exchange(other.id_, 0);
        return *this;
    }
    ~ListenerHandle() { reset(); }
    /// Unregisters now.
    void reset() noexcept {
        if (id_ != 0) {
            rv_removePlayerListener(std::exchange(id_, 0));
        }
    }

  private:
    friend class Player;
    /// `owned` (for rv::PlayerCallbacks) goes to the SDK, which hands it back
    /// for destruction once no call into it can run.
    ListenerHandle(PlayerListener *listener, detail::Box<PlayerListener> owned) {
        void (*release)(void *) = nullptr;
        if (owned) {
            release = [](void *user) {
                const detail::Box<PlayerListener> destroyed(static_cast<PlayerListener *>(user));
            };
        }
        if (const int code = rv_addPlayerListenerWithRelease(&detail::ListenerEvents::record(),
                                                             listener, release, &id_);
            code != RVE_OK) {
            throw Error(code, "rv_addPlayerListenerWithRelease");
        }
        static_cast<void>(owned.release());  // now the SDK's
    }
    rv_listener_id id_ = 0;
};

/// The player: starts resources and controls playback (rv_player.h). Get it
/// from rv::Sdk::player(); copies are interchangeable. Every method may be
/// called from any thread, also from inside a listener. Queries never block on
/// the network; commands that end an item (stop, reset, starting or moving to
/// another item) wait at most about 200 ms for the engine to let go of it;
/// play lists are fetched in the background. Before a
/// resource has been started the controls do nothing and the queries answer
/// false, -1 or nothing. Playback events arrive through listen().
class Player {
  public:
    /* Starting playback: albums, audios and smartcast radios go to the album
     * player, broadcasts to the broadcast player, which then serves the
     * controls below. */

    /// Starts the resource `bean` names (rv_playByAudioBean).
    void play(const AudioBean &bean) const {
        dao_play_audio_bean c = detail::c_view(bean);
        rv_playByAudioBean(&c);
    }
    /// An album from its first audio.
    void play(const Album &album) const { play(bean(RV_RESOURCE_ALBUM, album.id, 0, album)); }
    /// An album from its first audio.
    void play(const AlbumInfo &album) const { play(bean(RV_RESOURCE_ALBUM, album.id, 0, album)); }
    /// An audio's album, starting at that audio.
    void play(const Audio &audio) const {
        play(AudioBean{.type = RV_RESOURCE_ALBUM,
                       .id = audio.albumId,
                       .audioId = audio.audioId,
                       .sortType = 1,
                       .prePage = 1,
                       .nextPage = 1,
                       .name = audio.albumName,
                       .img = audio.albumPic,
                       .clockId = std::nullopt});
    }
    /// A smartcast radio from its first batch.
    void play(const Smartcast &radio) const {
        play(bean(RV_RESOURCE_SMARTCAST, radio.id, 0, radio));
    }
    /// A broadcast, live.
    void play(const Broadcast &b) const { play(bean(RV_RESOURCE_BROADCAST, b.broadcastId, 0, b)); }
    /// A broadcast, live.
    void play(const BroadcastInfo &b) const {
        play(bean(RV_RESOURCE_BROADCAST, b.broadcastId, 0, b));
    }
    /// One play item (for example one of play_list()).
    void play(const PlayItem &item) const {
        dao_play_item c = detail::c_view(item);
        rv_playByPlayItem(&c);
    }

    /* Control */

    /// Plays on after a pause, or a stopped item again (rv_Play).
    void resume() const { rv_Play(); }
    /// Pauses (rv_pause).
    void pause() const { rv_pause(); }
    /// Stops the item (rv_stop).
    void stop() const { rv_stop(); }
    /// Stops and lets go of the item (rv_reset).
    void reset() const { rv_reset(); }
    /// Pauses when playing, plays on when paused (rv_switchPlayOrPause).
    void toggle_pause() const { rv_switchPlayOrPause(); }
    /// Moves to `position_ms` (rv_seek).
    void seek(int32_t position_ms) const { rv_seek(position_ms); }
    /// Playback speed, 0.5..2.0 with the pitch kept, for this item and the next
    /// ones (rv_setPlaybackSpeed). rv::Error RVE_BAD_ARGS outside the range,
    /// RVE_LIVE_STREAM while a live stream plays.
    void set_speed(float speed) const {
        if (const int32_t code = rv_setPlaybackSpeed(speed); code != RVE_OK) {
            throw Error(code, "rv_setPlaybackSpeed");
        }
    }
    /// The crossfade at an album's automatic next item, 0..12000 ms (0: none),
    /// kept for later items (rv_setCrossfade). rv::Error RVE_BAD_ARGS outside
    /// the range.
    void set_crossfade(int ms) const {
        if (const int code = rv_setCrossfade(ms); code != RVE_OK) {
            throw Error(code, "rv_setCrossfade");
        }
    }
    /// The speed set last (rv_getPlaybackSpeed).
    float speed() const { return rv_getPlaybackSpeed(); }
    /// The previous item of the play list (rv_playPre).
    void previous() const { rv_playPre(); }
    /// The next item of the play list (rv_playNext).
    void next() const { rv_playNext(); }

    /* State */

    /// rv_isPlaying.
    bool is_playing() const { return rv_isPlaying(); }
    /// rv_isPaused.
    bool is_paused() const { return rv_isPaused(); }
    /// rv_canSeek.
    bool can_seek() const { return rv_canSeek(); }
    /// rv_hasPre.
    bool has_previous() const { return rv_hasPre(); }
    /// rv_hasNext.
    bool has_next() const { return rv_hasNext(); }
    /// The last play position the engine reported and the current item's
    /// length, in ms (0 when unknown, and for live streams).
    int64_t position() const { return ijk_GetCurrentPosition(); }
    /// See position().
    int64_t duration() const { return ijk_GetDuration(); }
    /// As on_state_changed told it last.
    rv_player_state state() const { return rv_getPlayerState(); }
    /// Volume 0..1 reached over `ramp_ms` (rv_setVolume); throws rv::Error
    /// (RVE_BAD_ARGS) out of range.
    void set_volume(float gain, int32_t ramp_ms = 0) const {
        if (const int code = rv_setVolume(gain, ramp_ms); code != RVE_OK) {
            throw Error(code, "rv_setVolume");
        }
    }
    /// The ALSA PCM to play on, "" for "default" (rv_setAudioDevice); throws
    /// rv::Error (RVE_BAD_ARGS) for a name it refuses.
    void set_audio_device(const std::string &alsa_pcm) const {
        if (const int code = rv_setAudioDevice(alsa_pcm.c_str()); code != RVE_OK) {
            throw Error(code, "rv_setAudioDevice");
        }
    }
    /// The media role PipeWire's policy sees, "" for "Music" (rv_setAudioRole);
    /// from the next output open. Throws rv::Error (RVE_BAD_ARGS) for a role it refuses.
    void set_audio_role(const std::string &role) const {
        if (const int code = rv_setAudioRole(role.c_str()); code != RVE_OK) {
            throw Error(code, "rv_setAudioRole");
        }
    }
    /// The volume set last.
    float volume() const { return rv_getVolume(); }

    /* The play list: copies, taken at the call. -1 and nothing when no
     * resource has been started. Items stay valid until the application starts
     * another resource, so current_item() and item() may be called from any
     * thread but one that starts a resource at the same time. A broadcast's
     * list is never changed once handed out; the album's grows as pages
     * arrive: call play_list() from a listener, or when nothing fetches. */

    /// The position of the current item in the play list.
    int32_t current_index() const { return rv_getCurPlayItemIndex(); }
    /// The current item.
    std::optional<PlayItem> current_item() const { return detail::item_value(rv_getCurPlayItem()); }
    /// The position of the item with the same audioId, or -1.
    int32_t index_of(const PlayItem &item) const {
        dao_play_item c = detail::c_view(item);
        return rv_getPlayItemIndex(&c);
    }
    /// The item at `index`; nothing when out of range.
    std::optional<PlayItem> item(int32_t index) const {
        return detail::item_value(rv_getPlayItem(index));
    }
    /// The number of items.
    int32_t size() const { return rv_getPlayListSize(); }
    /// Every item, in play order.
    std::vector<PlayItem> play_list() const {
        return detail::values<dao_play_item>(rv_getPlayList());
    }

    /// Fetches the next page of the album (`clock_id` "") or the next batch of
    /// the smartcast radio (`clock_id`: the clockId of the list's last item)
    /// and appends it to the play list; nothing starts playing. The value is
    /// the first item fetched; rv::Error 2 when nothing was fetched (no further
    /// page or batch, the service failed, or the broadcast player is selected).
    /// Two forms, as rv::Sdk's data calls: a callable, called exactly once, or a
    /// rv::Future. The callable runs on an SDK worker thread with the player's
    /// lock held, or on the calling thread when the answer is known at once: it
    /// may call rv::Player methods but must not wait for a thread that does.
    /// Fetches started here run one after another, in the order of the calls.
    template <class... F>
    auto fetch_more(const std::string &clock_id, F &&...on_done) const {
        return detail::call<detail::One<dao_play_item, false>>(
            "rv_fetchMorePlaylist", &detail::FetchQueue::fetch, detail::args(clock_id.c_str()),
            std::forward<F>(on_done)...);
    }

    /* Events */

    /// Registers `listener` (which must outlive the handle) / callables.
    /// Any thread, also from inside a listener.
    /// Throws rv::Error (RVE_NO_MEMORY) when it cannot be registered.
    [[nodiscard]] ListenerHandle listen(PlayerListener &listener) const {
        return ListenerHandle(&listener, {});
    }
    /// As listen(PlayerListener &), for callables the SDK keeps until the handle unregisters.
    [[nodiscard]] ListenerHandle listen(PlayerCallbacks callbacks) const {
        auto owned = detail::Box<PlayerCallbacks>::make(std::move(callbacks));
        PlayerListener *listener = owned.get();
        return ListenerHandle(listener, std::move(owned));
    }

  private:
    friend class Sdk;
    Player() = default;

    template <class Resource>
    static AudioBean bean(int32_t type, int64_t id, int64_t audio_id, const Resource &r) {
        const bool album = type == RV_RESOURCE_ALBUM;
        return {.type = type,
                .id = id,
                .audioId = audio_id,
                .sortType = album ? 1 : 0,
                .prePage = album ? 1 : 0,
                .nextPage = album ? 1 : 0,
                .name = r.name,
                .img = r.img,
                .clockId = std::nullopt};
    }
};

}  // namespace rv

#endif
