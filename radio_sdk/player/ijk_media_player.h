// The engine wrapper: the ijk_ commands over the single liborvellaplayer
// instance, the engine state the play managers query, and the event pump.
//
// Commands may be called from any thread and return at once; the
// notifications they raise (playing, paused, stopped, seek start) run on the
// calling thread. The pump runs on the engine's event thread.
#ifndef RV_PLAYER_IJK_MEDIA_PLAYER_H
#define RV_PLAYER_IJK_MEDIA_PLAYER_H

#include <atomic>
#include <cstdint>

#include "rv_export.h"
#include "rv_player.h"

// Values of playerStatus.
enum : int32_t {
    kPlayerIdle = 0,       // idle or stopped
    kPlayerPreparing = 1,  // ijk_Prepare / ijk_PrepareSeek
    kPlayerPlaying = 2,
    kPlayerPaused = 3,
    kPlayerBuffering = 4,  // buffering or seeking
    kPlayerError = 5,
};

// Engine state, written by commands (any thread) and the pump (event thread).
// Atomic, with the sizes of the plain integers they stand for.
extern "C" RV_API std::atomic<int32_t> playerStatus;
extern "C" RV_API std::atomic<int32_t> lastPPStatus;  // 2 after ijk_Play, 3 after ijk_Pause
extern "C" RV_API std::atomic<int64_t> mPlayerPosition_;

RV_BEGIN_DECLS

// Start-up and shut-down (rv_initSdk / rv_releaseSdk). ijk_Release blocks until
// the engine's threads have ended (about 200 ms at most).
RV_API void ijk_Init(void);
RV_API void ijk_Release(void);

RV_API void ijk_SetDataSource(const char *url);
RV_API void ijk_Prepare(void);
RV_API void ijk_PrepareSeek(int32_t start_ms);
// As ijk_Prepare, but silent until ijk_Play: the players decide on prepare-complete,
// under their lock, whether the user still wants to hear it. Returns the engine's source
// the prepare made, which its events carry (ijk_EventSource).
uint64_t ijk_PreparePaused(void);
RV_API void ijk_Play(void);
RV_API void ijk_Pause(void);
RV_API void ijk_Stop(void);
RV_API void ijk_SeekTo(int64_t msec);
RV_API void ijk_Setdurtion(int64_t duration_s, int32_t original_duration_s);
RV_API bool ijk_IsPlaying(void);
RV_API bool ijk_IsPaused(void);
// Has the engine fetch `url` ahead (or name a local file), for its next prepare and the
// join into it at the end of the item playing (IjkMediaPlayer_prefetch).
void ijk_Prefetch(const char *url);
// The engine's answer: 0, -1 outside 0.5..2.0, -2 a live stream is playing.
RV_API int ijk_SetPlaybackSpeed(float speed);
// Both channels to `gain` (clamped to 0..1) over `ramp_ms` (IjkMediaPlayer_rampVolume).
void ijk_RampMediaVolume(float gain, int32_t ramp_ms);
// The ALSA PCM sources play on, null for "default" (IJKMediaPlayer_setAudioDevice).
void ijk_SetAudioDevice(const char *alsa_pcm);
// The media role the output's PipeWire stream carries, null for "Music"
// (IJKMediaPlayer_setAudioRole).
void ijk_SetAudioRole(const char *role);
// The crossfade at the automatic next item, 0..12000 ms (IJKMediaPlayer_setCrossfade): 0, or
// -1 outside the range. Any thread.
int ijk_SetCrossfade(int ms);
// Names the application `name` to PipeWire for the streams opened from now on, unless the
// environment already holds PIPEWIRE_ALSA (the application's own choice wins). Writes the
// environment: called at start-up before the SDK starts a thread.
void ijk_SetAudioAppName(const char *name);
// The gain set last by either volume function (the louder channel's). Any thread.
float ijk_GetMediaVolume();

// The event pump registered with the engine. Events: 1 prepared, 2 end,
// 4 seek done, 6 position (arg1 ms, arg2 duration ms), 8 download progress,
// 100 error, 200 information (701/702 buffering start/end).
RV_API void ijk_post_event_im(int what, int arg1, int arg2);
// The pump the engine calls: ijk_post_event_im for an event of `source`. The players act
// only on events of the source they prepared last; one of a source left is dropped.
RV_API void ijk_post_source_event_im(uint64_t source, int what, int arg1, int arg2);
// The engine source of the event this thread is handling; 0 outside an engine event (the
// commanding thread tells its own changes, which are current).
uint64_t ijk_EventSource(void);
// Registered with the engine for now-playing changes; calls the metadata listener.
RV_API void ijk_post_metadata_im(const char *title, const char *artist, const char *url);

RV_END_DECLS

#endif
