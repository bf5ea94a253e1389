/** @file
 * liborvellaplayer: a single audio player over FFmpeg with ALSA output.
 *
 * One process-wide player instance. Every function may be called from any thread,
 * including from inside the event callback; commands never wait on the network.
 * Strings passed in are copied; nothing returned needs freeing.
 *
 * Playback: set a data source, prepare (asynchronous), and the player starts playing
 * by itself once prepared, unless it was paused while preparing. Audio is decoded,
 * converted to signed 16-bit interleaved PCM (the stream's rate when it lies in
 * 4000..48000 Hz, otherwise 48000; mono or stereo) and written to libpcmsink, which the
 * player loads at run time from its own directory or the library path. Without
 * libpcmsink, or when the device cannot be opened, the player prints one warning and
 * plays into a silent output at the same pace.
 *
 * The output keeps the format it was opened with for the whole source: when the audio
 * changes its rate or channel count partway (an HLS discontinuity, a chained Ogg stream, a
 * live stream that comes back from a new encoder), the new audio is resampled to it, so it
 * plays on at its pitch without a gap, as one item: no completion, no error.
 *
 * Output is paced to real time: the player writes at most ORV_MAX_AHEAD_MS of audio ahead
 * of the wall clock since playback started or resumed, so positions and events follow
 * real time on every output.
 */
#ifndef ORVELLAPLAYER_H
#define ORVELLAPLAYER_H

#include <stdint.h>

#if defined(__GNUC__)
#define ORV_API __attribute__((visibility("default"))) /**< the engine's exported functions */
#else
#define ORV_API /**< the engine's exported functions */
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** How far output may run ahead of the wall clock. */
#define ORV_MAX_AHEAD_MS 250
/** Length of the fades around a pause, stop, seek, change of source or of speed. */
#define ORV_FADE_MS 15

/**
 * @name Events (what, arg1, arg2)
 * They arrive on one dedicated event thread, in the order they
 * happened, with no player lock held. Events of a source that was stopped, reset or
 * replaced by a new prepare are dropped, so a callback never sees an earlier item's events.
 * @{
 */
#define ORV_EVENT_PREPARED 1      /**< ready; playback begins unless paused */
#define ORV_EVENT_COMPLETED 2     /**< a finite source played to its end; once per prepare */
#define ORV_EVENT_SEEK_COMPLETE 4 /**< a seekTo finished; the position is the target */
/** arg1 position ms, arg2 duration ms; about every 500 ms while playing, only when the
 * duration is known, and always with 0 <= arg1 <= arg2. */
#define ORV_EVENT_POSITION 6
/** arg1 one of ORV_ERROR_*, arg2 the FFmpeg or ALSA error code (negative) or 0; playback of
 * the source is over. */
#define ORV_EVENT_ERROR 100
#define ORV_EVENT_INFO 200 /**< arg1 one of ORV_INFO_* */

/**
 * Download progress, about once a second while playing:
 * - a source whose size is known (files over HTTP, local files): arg1 = bytes fetched so
 *   far, arg2 = the size in bytes, until the whole source is fetched; the last report has
 *   arg1 == arg2 and none follows (a seek may start them again);
 * - a source of unknown size (live and chunked streams): arg1 = ms of audio decoded ahead
 *   of the play position, arg2 = the duration in ms (0 when unknown), for as long as it
 *   plays.
 * Values beyond INT_MAX are reported as INT_MAX.
 */
#define ORV_EVENT_DOWNLOAD_PROGRESS 8
/** @} */

/** @name Information codes of ORV_EVENT_INFO (arg1)
 * Every ORV_INFO_BUFFERING_START is followed by ORV_INFO_BUFFERING_END, or by ORV_EVENT_ERROR
   (ORV_ERROR_NETWORK) once the input has stalled for the reconnect window (30 s).
   @{ */
#define ORV_INFO_BUFFERING_START 701 /**< input stalled: the output ran dry */
#define ORV_INFO_BUFFERING_END 702   /**< audio flows again */
/** @} */

/** @name Detail codes of ORV_EVENT_ERROR (arg1) */
/** @{ */
#define ORV_ERROR_NO_SOURCE 1 /**< prepareAsync without a data source */
#define ORV_ERROR_OPEN 2      /**< the source could not be opened or is not media */
#define ORV_ERROR_NO_AUDIO 3  /**< the source has no playable audio stream */
#define ORV_ERROR_DECODE 4    /**< the audio could not be decoded */
#define ORV_ERROR_NETWORK 5   /**< the input broke off and reconnecting did not help */
#define ORV_ERROR_OUTPUT 6    /**< the audio device failed while writing */
/** the audio device named with IJKMediaPlayer_setAudioDevice could not be opened (arg2 0) */
#define ORV_ERROR_AUDIO_DEVICE 7
/** @} */

/** Event callback: what, arg1, arg2. Runs on the player's event thread. */
typedef void (*orv_event_fn)(int what, int arg1, int arg2);

/**
 * Now playing, as the source tells it in band: the song title and artist, from an HLS
 * stream's ID3 timed metadata (TIT2 and TPE1) or an Icecast/SHOUTcast station's ICY
 * StreamTitle (the whole "Artist - Song" in the title, artist ""), and the station's URL
 * (ICY StreamUrl; "" when none).
 * UTF-8, at most 256 bytes each, without control characters (a text that is not valid
 * UTF-8 is read as Latin-1). Called once per change, when the audio it belongs to is
 * heard (not when it is read ahead), on the event thread in order with the events;
 * dropped with the source's events. The strings are valid during the call only.
 */
typedef void (*orv_metadata_fn)(const char *title, const char *artist, const char *url);

/**
 * Sets the callback for all later events (null: events are dropped). The callback may
 * call any function of this library. May be called before or after native_init.
 */
ORV_API void Register_post_event(orv_event_fn callback);

/**
 * Event callback with the source the event belongs to (see IjkMediaPlayer_getSource): a
 * caller that moved on can tell an event of the source it left, which may be on its way
 * while the caller prepares the next one.
 */
typedef void (*orv_source_event_fn)(uint64_t source, int what, int arg1, int arg2);

/**
 * As Register_post_event, with the event's source told. One callback is kept: this one
 * replaces the one of Register_post_event, and the reverse.
 */
ORV_API void Register_post_source_event(orv_source_event_fn callback);

/**
 * The source the last prepareAsync, stop or reset made (those two make a source of none):
 * the number its events carry. Any thread; read it on the thread that prepared, before
 * another thread commands the player, to know which events are of that prepare.
 */
ORV_API uint64_t IjkMediaPlayer_getSource(void);

/** Sets the callback for later now-playing changes (null: dropped). As Register_post_event. */
ORV_API void Register_metadata_event(orv_metadata_fn callback);

/** Makes the player ready (idempotent); a player already running is reset. */
ORV_API void IjkMediaPlayer_native_init(void);

/**
 * Stops playback, drops pending events and ends the player's threads, waiting for what
 * was written to play out and fade: returns within ~300 ms whatever the network does. A later
 * call of any function starts afresh.
 */
ORV_API void IjkMediaPlayer_native_finalize(void);

/**
 * URL (http, https, HLS .m3u8, or a local path) used by the next prepareAsync.
 * The demuxer of a network source is chosen by the Content-Type of the answer (audio/mpeg
 * and audio/mp3: MP3; audio/aac, audio/aacp, audio/x-aac: ADTS AAC; audio/ogg,
 * application/ogg, audio/opus: Ogg; audio/x-mpegurl, audio/mpegurl,
 * application/vnd.apple.mpegurl, application/x-mpegurl: HLS; audio/flac; audio/wav), else
 * by the extension of the URL's path (.mp3 .aac .ogg .oga .opus .m3u8 .flac .wav); only when
 * neither names one (or the named demuxer cannot read the content) is the content probed.
 * Local files are always probed. A live stream (a network answer without a length) is
 * prepared as soon as its first audio frame decodes: no further analysis is waited for.
 *
 * Finite or live is what the server says: an answer with a length (Content-Length or a
 * Content-Range total), a local file and an HLS playlist with an end are finite, whether or
 * not the server takes byte ranges; their end is ORV_EVENT_COMPLETED, with position reports
 * on the way. A finite source whose connection breaks off is resumed from its first missing
 * byte (Range; a server without ranges is read again and what was had is skipped), for as
 * long as audio is buffered and then the 30 s reconnect window. An answer without a length
 * (Icecast, SHOUTcast) is live, unless its server ends the body itself (a chunked file),
 * which completes; so is an unrangeable answer with a length that carries icy- headers or
 * a stream-only type. Only http:// and https:// are opened from the network (redirects and
 * playlist entries included), plus a local path given directly.
 * Of an HLS master playlist one variant is played, and only its playlist and segments are
 * fetched (see IjkMediaPlayer_setMaxBitrate).
 */
ORV_API void IjkMediaPlayer_setDataSourceAndHeaders(const char *url);

/**
 * Opens the data source on the player's thread and returns at once; a source being
 * played is stopped first. ORV_EVENT_PREPARED follows, or ORV_EVENT_ERROR.
 * start_ms: position to begin at (0 = start; ignored on sources that cannot seek).
 * buffer_s: accepted for compatibility; output starts with the first decoded audio.
 * Returns 0, or -1 when no data source is set (ORV_EVENT_ERROR with ORV_ERROR_NO_SOURCE
 * is posted as well).
 */
ORV_API int IjkMediaPlayer_prepareAsync(int start_ms, int buffer_s);

/**
 * As IjkMediaPlayer_prepareAsync, but the source opens paused: nothing is heard until
 * IjkMediaPlayer_start, so a caller that decides on ORV_EVENT_PREPARED whether to play
 * never lets the first audio out meanwhile.
 */
ORV_API int IjkMediaPlayer_prepareAsyncPaused(int start_ms);

/** Plays (or resumes) the prepared source. Does nothing without one. */
ORV_API void IjkMediaPlayer_start(void);

/**
 * Pauses output within ORV_MAX_AHEAD_MS; the position holds. The sound fades out over
 * ORV_FADE_MS before it pauses and fades in again on start, so the wave is never cut.
 */
ORV_API void IjkMediaPlayer_pause(void);

/**
 * Ends playback of the source (a new prepareAsync is needed) and returns at once. What was
 * written plays out and fades over ORV_FADE_MS (so the device is not cut mid-wave) on the
 * engine's own thread; the next source opens the device once it is closed. The same holds
 * for reset and for a prepareAsync that replaces a playing source; a seek fades out and its
 * new audio fades in.
 */
ORV_API void IjkMediaPlayer_stop(void);

/** As stop, and forgets the data source. Returns at once. */
ORV_API void IjkMediaPlayer_reset(void);

/**
 * Moves to msec (clamped to 0..duration); ORV_EVENT_SEEK_COMPLETE follows. Also works
 * after the end was reached. On a source that cannot seek the position stays and the
 * event still follows.
 */
ORV_API void IjkMediaPlayer_seekTo(int64_t msec);

/**
 * Duration for sources that do not carry one (live streams, raw files over chunked HTTP):
 * `duration_s` when positive, else `original_duration_s`. A duration found in the stream
 * wins. Cleared by setDataSourceAndHeaders.
 * A network answer without a length is taken as live: when its connection breaks off it
 * is opened again (ORV_INFO_BUFFERING_START/END around the gap), for up to 30 s. One given a
 * duration here is finite: its end is reported with ORV_EVENT_COMPLETED.
 */
ORV_API void IjkMediaPlayer_setdurtion(int64_t duration_s, int32_t original_duration_s);

/** Duration in ms of the current source, or 0 when unknown. */
ORV_API int64_t IjkMediaPlayer_getDuration(void);

#define ORV_MIN_SPEED 0.5f /**< slowest playback speed */
#define ORV_MAX_SPEED 2.0f /**< fastest playback speed */
/**
 * Playback speed, ORV_MIN_SPEED..ORV_MAX_SPEED (1 = normal), with the pitch kept. Taken up
 * within about 20 ms by the audio being written (heard after the up to ORV_MAX_AHEAD_MS
 * already written) and kept for later sources until changed. Positions, durations, seeks
 * and events stay in the source's own time: at 1.5 a position report advances 1.5 s per
 * second and a 12 s source completes after 8 s. A live source always plays at 1.
 * Returns 0; -1 when `speed` is outside the range; -2 while a live source is playing
 * (the speed is left as it was).
 */
ORV_API int IjkMediaPlayer_setPlaybackSpeed(float speed);

#define ORV_MAX_CROSSFADE_MS 12000 /**< longest crossfade */
/**
 * The crossfade at the automatic next item (the prefetched one taken up when an item ends):
 * over its last `ms` the item ending is mixed with the start of the next with equal-power
 * gains (cosine out, sine in), so it ends `ms` early. 0 (the default) joins them without a
 * seam and without a fade. Never across a live source, nor at a prepare of any other
 * source (a user's move keeps its short fades). An item shorter than the fade is mixed
 * whole. Taken up when an item nears its end; kept for later sources. Returns 0; -1 when
 * `ms` is outside 0..ORV_MAX_CROSSFADE_MS (nothing changes). Any thread; never blocks.
 */
ORV_API int IJKMediaPlayer_setCrossfade(int ms);

/**
 * Gains for the left and right channel (1.0 = unchanged; 0 = silent; mono uses left;
 * negative is taken as 0), from the next written audio on. Kept for later sources.
 */
ORV_API void IjkMediaPlayer_setVolume(float left_volume, float right_volume);
/**
 * As setVolume, but the gains move there evenly over `ramp_ms` of played audio (0: at
 * once), from wherever the previous change had brought them: ducking under a prompt
 * without a click. A source prepared meanwhile starts at the new gains.
 */
ORV_API void IjkMediaPlayer_rampVolume(float left_volume, float right_volume, int ramp_ms);

/**
 * IPv4 address of a DNS server (for example "192.168.1.1" or "192.168.1.1:5353") that
 * resolves media host names from the next prepare on. When it does not answer, the
 * system resolver is used.
 */
ORV_API void IJKMediaPlayer_setDns_Address(const char *address);

/** Back to the system resolver. */
ORV_API void IjkMediaPlayer_clearDns_Address(void);

/** HTTP proxy ("host:port" or "http://host:port") for media requests from the next prepare. */
ORV_API void IJKMediaPlayer_setProxyAddress(const char *proxy);

/** No proxy from the next prepare on. */
ORV_API void IjkMediaPlayer_clearProxyAdress(void);

/**
 * CA bundle (PEM file) that HTTPS media servers are checked against from the next prepare
 * on; null or "" (the default): the system's CA store. The check itself is always on: every
 * HTTPS request of a source (HLS playlists and segments included) verifies the server's
 * certificate chain and that it names the URL's host. A server that fails the check ends the
 * prepare with ORV_EVENT_ERROR / ORV_ERROR_OPEN and one "orvellaplayer: E" line on stderr
 * giving the reason. The path is copied; the file is read when a connection is made. The
 * radio SDK passes its own CA choice here at start-up.
 */
ORV_API void IjkMediaPlayer_setCaFile(const char *path);

/**
 * Cap in bits per second for choosing among the variants of an HLS master playlist, from
 * the next prepare on: the variant with the highest BANDWIDTH not above it is played, or
 * the lowest when all are above it. 0 or less restores the default, 192000. Variants are
 * not switched while playing.
 */
ORV_API void IjkMediaPlayer_setMaxBitrate(int64_t bits_per_second);

/**
 * Bound of the read-ahead, from the next prepare on. A source over HTTP(S) is fetched ahead
 * of playback, at the link's speed, into a buffer in memory that holds at most `max_bytes`
 * and at most `max_seconds` of audio (judged by the source's average rate, once known):
 * a dropout of the link shorter than what is buffered is not heard. 0 or less restores
 * each default: 8 MiB, 240 s; `max_bytes` is kept within 64 KiB and 256 MiB. The same
 * bound applies to a prefetch.
 */
ORV_API void IjkMediaPlayer_setReadAhead(int64_t max_bytes, int32_t max_seconds);

/**
 * Starts fetching the http(s) `url` ahead (into a buffer bounded as above), so that when
 * it is next set as data source and prepared, its first audio comes from memory. One
 * prefetch at a time: a new one (or null) drops the one before; so does reset. Only a
 * file is played from it (a live station's answer, or one not in yet, is fetched again at
 * prepare), and only if the proxy, CA file, DNS server and read-ahead are still those it
 * was started with. The item prefetched is also the one a finite source goes on into,
 * without a seam, when it ends. `url` may instead be the absolute path of a regular local
 * file, which is only named for that (nothing is read ahead); anything else drops the
 * prefetch. Returns at once and never waits for the network or the resolver (a local
 * path is looked up with stat). Any thread.
 */
ORV_API void IjkMediaPlayer_prefetch(const char *url);

/**
 * The ALSA PCM that sources play on ("hw:1,0", "zone_media", a name of the ALSA
 * configuration); null or "" restores "default". Takes effect at the next prepare and, while
 * a source plays, at once: the output fades out, the new device is opened and the sound
 * fades in at the same position. A named device that cannot be opened ends playback with
 * ORV_EVENT_ERROR / ORV_ERROR_AUDIO_DEVICE, once, and one "orvellaplayer: E" line; only
 * "default" falls back to a silent output (a machine without a sound card). The name is
 * copied. Any thread; never blocks on the device.
 */
ORV_API void IJKMediaPlayer_setAudioDevice(const char *alsa_pcm);

/**
 * The media role ("Music", "Navigation", "Notification", ...) the output stream carries
 * where the audio device is a PCM of PipeWire's ALSA plugin whose definition names no role:
 * the session manager's policy ducks or routes the stream by it. Null or "" restores
 * "Music", the default. Taken up when the output opens next (the next prepare, or a device
 * change); another device ignores it. The name is copied. Any thread; never blocks.
 */
ORV_API void IJKMediaPlayer_setAudioRole(const char *role);

/** FFmpeg's log level: 0 errors only (default), 1 warnings and information, 2+ debug. */
ORV_API void IjkMediaPlayer_setDebugVerose(int level);

/**
 * Receives one diagnostic line without its trailing newline: `tag` "ORVELLAPLAYER" (the
 * engine), "FFMPEG", "PCMSINK" or "ALSA"; `level` 1 warning, 2 error, 3 debug. Called on
 * the engine's threads (or the caller's), with no engine lock held; the strings live only
 * during the call, which must not call the engine back.
 */
typedef void (*IjkLogCallback)(int level, const char *tag, const char *message, void *user);

/**
 * Sends every line of the engine, of FFmpeg, of libpcmsink and of ALSA's error handler to
 * `callback` instead of standard output and standard error; null restores the defaults (the
 * engine's lines on standard error, libpcmsink's on standard output, ALSA's own handler).
 * Either way a warning with the same text is written once per process; at finalize one
 * debug line per such warning tells how often it came since. Any thread; a line being
 * delivered meanwhile may still reach the previous callback.
 */
ORV_API void IJKMediaPlayer_setLogCallback(IjkLogCallback callback, void *user);

#ifdef __cplusplus
}
#endif

#endif
