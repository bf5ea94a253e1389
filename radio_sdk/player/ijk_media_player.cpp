#include "player/ijk_media_player.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "orvellaplayer.h"
#include "player/player_manager.h"
#include "player/player_state_listener.h"

std::atomic<int32_t> playerStatus{kPlayerIdle};
std::atomic<int32_t> lastPPStatus{0};
std::atomic<int64_t> mPlayerPosition_{0};

static_assert(sizeof(playerStatus) == sizeof(int32_t) && sizeof(lastPPStatus) == sizeof(int32_t) &&
                  sizeof(mPlayerPosition_) == sizeof(int64_t),
              "the engine globals keep the sizes of plain integers");
static_assert(std::atomic<int32_t>::is_always_lock_free &&
              std::atomic<int64_t>::is_always_lock_free);

namespace {

// Event codes of the engine (orvellaplayer.h) the pump acts on.
constexpr int kEventPrepared = ORV_EVENT_PREPARED;
constexpr int kEventCompleted = ORV_EVENT_COMPLETED;
constexpr int kEventSeekComplete = ORV_EVENT_SEEK_COMPLETE;
constexpr int kEventPosition = ORV_EVENT_POSITION;
constexpr int kEventDownloadProgress = ORV_EVENT_DOWNLOAD_PROGRESS;
constexpr int kEventError = ORV_EVENT_ERROR;
constexpr int kEventInfo = ORV_EVENT_INFO;

// Set once the end of the current item has been notified, so that a completion
// event and out-of-range position reports raise play end only once. Cleared by
// every prepare and seek: from there the item can reach its end again.
std::atomic<bool> s_end_notified{false};

void notify_end_once() {
    if (!s_end_notified.exchange(true)) {
        notifyOnPlayEnd();
    }
}

// The wrapper's side of every prepare, before the engine is asked.
void begin_prepare() {
    playerStatus.store(kPlayerPreparing);
    s_end_notified.store(false);
}

thread_local uint64_t t_event_source = 0;

}  // namespace

void ijk_Init(void) {
    IjkMediaPlayer_native_init();
    Register_post_source_event(ijk_post_source_event_im);
    Register_metadata_event(ijk_post_metadata_im);
}

// To the application on the players' sequence: no play manager acts on what is playing, and
// the engine has already dropped the changes of sources it left. The texts live for this call.
void ijk_post_metadata_im(const char *title, const char *artist, const char * /*url*/) {
    try {
        player_listener_call([title = std::string(title != nullptr ? title : ""),
                              artist = std::string(artist != nullptr ? artist : "")] {
            setUserMetadataListener_OnMetadata(title.c_str(), artist.c_str());
        });
    } catch (const std::bad_alloc &) {
        player_listener_call_dropped();  // the title is shown again at its next change
    }
}

void ijk_Release(void) {
    IjkMediaPlayer_native_finalize();
    playerStatus.store(kPlayerIdle);
}

void ijk_SetDataSource(const char *url) {
    IjkMediaPlayer_setDataSourceAndHeaders(url);
}

void ijk_Prepare(void) {
    ijk_PrepareSeek(0);
}

void ijk_PrepareSeek(int32_t start_ms) {
    begin_prepare();
    IjkMediaPlayer_prepareAsync(start_ms, 4);
}

uint64_t ijk_PreparePaused(void) {
    begin_prepare();
    IjkMediaPlayer_prepareAsyncPaused(0);
    return IjkMediaPlayer_getSource();
}

uint64_t ijk_EventSource(void) {
    return t_event_source;
}

void ijk_Play(void) {
    IjkMediaPlayer_start();
    playerStatus.store(kPlayerPlaying);
    lastPPStatus.store(kPlayerPlaying);
    notifyOnPlaying(mPlayerPosition_.load());
}

void ijk_Pause(void) {
    IjkMediaPlayer_pause();
    playerStatus.store(kPlayerPaused);
    lastPPStatus.store(kPlayerPaused);
    notifyOnPaused();
}

void ijk_Stop(void) {
    IjkMediaPlayer_stop();
    playerStatus.store(kPlayerIdle);
    notifyOnStopped();
}

void ijk_SeekTo(int64_t msec) {
    playerStatus.store(kPlayerBuffering);
    s_end_notified.store(false);
    IjkMediaPlayer_seekTo(msec);
    notifyOnSeekStart();
}

void ijk_Setdurtion(int64_t duration_s, int32_t original_duration_s) {
    IjkMediaPlayer_setdurtion(duration_s, original_duration_s);
}

int64_t ijk_GetDuration(void) {
    return IjkMediaPlayer_getDuration();
}

int64_t ijk_GetCurrentPosition(void) {
    return mPlayerPosition_.load();
}

bool ijk_IsPlaying(void) {
    const int32_t status = playerStatus.load();
    if (status == kPlayerPlaying || status == kPlayerPaused) {
        return status == kPlayerPlaying;
    }
    return lastPPStatus.load() == kPlayerPlaying;
}

bool ijk_IsPaused(void) {
    const int32_t status = playerStatus.load();
    if (status == kPlayerPlaying || status == kPlayerPaused) {
        return status == kPlayerPaused;
    }
    return lastPPStatus.load() == kPlayerPaused;
}

int ijk_SetPlaybackSpeed(float speed) {
    return IjkMediaPlayer_setPlaybackSpeed(speed);
}

namespace {
// The gain set last (the louder channel's); the lock keeps it and the engine's in step.
std::mutex s_volume_mutex;
float s_volume = 1.0f;

// Within 0..1 (NaN: 0): the engine would amplify, and clip, beyond 1.
float clamped_gain(float gain) {
    return gain > 0.0f ? std::min(gain, 1.0f) : 0.0f;
}
}  // namespace

void ijk_SetMediaVolume(float left, float right) {
    left = clamped_gain(left);
    right = clamped_gain(right);
    std::lock_guard lock(s_volume_mutex);
    s_volume = std::max(left, right);
    IjkMediaPlayer_setVolume(left, right);
}

void ijk_RampMediaVolume(float gain, int32_t ramp_ms) {
    gain = clamped_gain(gain);
    std::lock_guard lock(s_volume_mutex);
    s_volume = gain;
    IjkMediaPlayer_rampVolume(gain, gain, ramp_ms);
}

void ijk_SetAudioDevice(const char *alsa_pcm) {
    IJKMediaPlayer_setAudioDevice(alsa_pcm);
}

void ijk_SetAudioRole(const char *role) {
    IJKMediaPlayer_setAudioRole(role);
}

int ijk_SetCrossfade(int ms) {
    return IJKMediaPlayer_setCrossfade(ms);
}

// PipeWire's ALSA plugin adds the properties in PIPEWIRE_ALSA to every stream it opens; its
// PCM definitions have no key for the application's name.
void ijk_SetAudioAppName(const char *name) {
    if (name == nullptr || *name == '\0' || std::getenv("PIPEWIRE_ALSA") != nullptr) {
        return;
    }
    std::string props = "{ application.name = \"";
    for (const char c : std::string_view(name)) {
        if (c == '"' || c == '\\') {
            props += '\\';
        }
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
            props += c;
        }
    }
    props += "\" }";
    setenv("PIPEWIRE_ALSA", props.c_str(), 0);
}

float ijk_GetMediaVolume() {
    std::lock_guard lock(s_volume_mutex);
    return s_volume;
}

void ijk_SetDnsAddress(const char *address) {
    IJKMediaPlayer_setDns_Address(address);
}

void ijk_ClearDns(void) {
    IjkMediaPlayer_clearDns_Address();
}

void ijk_GetDnsAddress(void) {}

void ijk_SetProxyAddress(const char *proxy) {
    IJKMediaPlayer_setProxyAddress(proxy);
}

void ijk_ClearProxyAddress(void) {
    IjkMediaPlayer_clearProxyAdress();
}

void ijk_SetReadAhead(int64_t max_bytes, int32_t max_seconds) {
    IjkMediaPlayer_setReadAhead(max_bytes, max_seconds);
}

void ijk_Prefetch(const char *url) {
    IjkMediaPlayer_prefetch(url);
}

void ijk_SetDebugVerbose(int level) {
    IjkMediaPlayer_setDebugVerose(level);
}

void player_inner_verbose(int level) {
    ijk_SetDebugVerbose(level);
}

void ijk_post_source_event_im(uint64_t source, int what, int arg1, int arg2) {
    t_event_source = source;
    ijk_post_event_im(what, arg1, arg2);
    t_event_source = 0;
}

void ijk_post_event_im(int what, int arg1, int arg2) {
    switch (what) {
        case kEventPrepared:
            notifyOnPrepareComplete();
            break;
        case kEventCompleted:
            notify_end_once();
            break;
        case kEventSeekComplete:
            notifyOnSeekComplete();
            break;
        case kEventPosition:
            mPlayerPosition_.store(arg1);
            if (arg1 < 0 || arg1 > arg2 || arg2 < 0) {
                notify_end_once();
            } else {
                notifyOnProgress(arg1, arg2);
            }
            break;
        case kEventDownloadProgress:
            notifyOnDownloadProgress(arg1, arg2);
            break;
        case kEventError:
            playerStatus.store(kPlayerError);
            notifyOnError(kEventError, arg1, arg2);
            break;
        case kEventInfo:
            if (arg1 == ORV_INFO_BUFFERING_START) {
                playerStatus.store(kPlayerBuffering);
                notifyOnBufferingStart();
            } else if (arg1 == ORV_INFO_BUFFERING_END) {
                playerStatus.store(lastPPStatus.load() == kPlayerPlaying ? kPlayerPlaying
                                                                         : kPlayerPaused);
                notifyOnBufferingComplete();
            }
            break;
        default:
            break;
    }
}
