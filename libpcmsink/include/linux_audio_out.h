/** @file
 * libpcmsink: PCM output to ALSA's "default" playback device, or to one named.
 *
 * A record is created by SDL_Linux_Audio_Out_new_from_sdl_spec (or _new_on_device) and belongs to
 * the caller, who ends it with SDL_Linux_Audio_Out_free (which closes the device if it is still
 * open). One record is driven by one thread at a time; the library keeps no global state, so
 * different records may be used from different threads. Messages go to standard output
 * unless a log callback is installed (SDL_Linux_Audio_Out_set_log_callback).
 * The media engine binds these functions by name at run time; their names and argument
 * lists are fixed.
 */
#ifndef LINUX_AUDIO_OUT_H
#define LINUX_AUDIO_OUT_H

#if defined(__GNUC__)
#define PCMSINK_API __attribute__((visibility("default")))
#else
#define PCMSINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Device state. `params` is only used while opening and is null afterwards. */
typedef struct ALSA_Context {
    void *handle; /**< the open snd_pcm_t, null once released */
    void *params; /**< snd_pcm_hw_params_t during creation only */
} ALSA_Context;

/** An ALSA playback device opened by SDL_Linux_Audio_Out_new_from_sdl_spec. */
typedef struct SDL_Linux_Audio_Out {
    ALSA_Context *priv_data; /**< the device state */
    int sample_rate_in_hz;   /**< rate asked for at creation (the device may run a near rate) */
    int channels;            /**< 1 or 2 */
    int audio_format;    /**< stored only: the device always takes signed 16-bit little-endian */
    int buffer_capacity; /**< never set (0) */
    int min_buffer_size; /**< bytes: 4 x the device period in frames, at least 128 */
    float max_volume;    /**< never set (0) */
    float min_volume;    /**< never set (0) */
} SDL_Linux_Audio_Out;

/**
 * Opens "default" for blocking playback of interleaved S16_LE frames at `samplerate`
 * (4000..48000 Hz) with `channels` (1 or 2) and a period near 32 frames.
 * Returns the new record, or null after printing why. Blocks while ALSA opens the device.
 */
PCMSINK_API SDL_Linux_Audio_Out *SDL_Linux_Audio_Out_new_from_sdl_spec(int samplerate, int channels,
                                                                       int audioformat);

/**
 * As SDL_Linux_Audio_Out_new_from_sdl_spec, on the ALSA PCM named `device` ("hw:1,0",
 * "plug:zone_nav", a name of the ALSA configuration); null or "" is "default". The name is
 * read during the call only. Returns null, after printing why, when it cannot be opened.
 */
PCMSINK_API SDL_Linux_Audio_Out *SDL_Linux_Audio_Out_new_on_device(const char *device,
                                                                   int samplerate, int channels,
                                                                   int audioformat);

/**
 * As SDL_Linux_Audio_Out_new_on_device, with `role` as the stream's media role ("Music",
 * "Navigation", ...) where `device` is a PCM of PipeWire's ALSA plugin (type pipewire) whose
 * definition names no role itself: the session manager's policy (ducking, routing) then
 * treats the stream by that role. Any other PCM ignores it; null or "" leaves the PCM as
 * configured. Both texts are read during the call only.
 */
PCMSINK_API SDL_Linux_Audio_Out *SDL_Linux_Audio_Out_new_with_role(const char *device,
                                                                   const char *role, int samplerate,
                                                                   int channels, int audioformat);

/**
 * Writes `samplenum` interleaved frames (blocking). Returns the frames written (may be
 * fewer), 0 after EAGAIN or a recovered underrun/suspend (the frames of this call are
 * dropped), `samplenum` itself when it is <= 0, and a negative errno when the device
 * failed for good (after printing the error) or the record has no open device.
 */
PCMSINK_API int SDL_Linux_Audio_Out_write_byte(SDL_Linux_Audio_Out *audioout, const void *data,
                                               int samplenum);

/** Plays out what is queued (drain), then prepares the device for more frames. Blocks. */
PCMSINK_API void SDL_Linux_Audio_Out_flush(SDL_Linux_Audio_Out *audioout);

/** Discards queued frames at once. The device needs a flush before it takes frames again. */
PCMSINK_API void SDL_Linux_Audio_Out_stop(SDL_Linux_Audio_Out *audioout);

/** Closes the device; the record stays valid (writes then fail) until freed. */
PCMSINK_API void SDL_Linux_Audio_Out_release(SDL_Linux_Audio_Out *audioout);

/** Closes the device unless already released, then frees the record. Null is ignored. */
PCMSINK_API void SDL_Linux_Audio_Out_free(SDL_Linux_Audio_Out *audioout);

/** No effect: the device runs while frames are written. */
PCMSINK_API void SDL_Linux_Audio_Out_play(SDL_Linux_Audio_Out *audioout);

/** No effect. */
PCMSINK_API void SDL_Linux_Audio_Out_pause(SDL_Linux_Audio_Out *audioout);

/** No effect: volume is applied by the engine before writing. */
PCMSINK_API void SDL_Linux_Audio_Out_set_volume(SDL_Linux_Audio_Out *audioout, float left_volume,
                                                float right_volume);

/**
 * Receives one message of the library (`tag` "PCMSINK") or of ALSA's error handler (`tag`
 * "ALSA"), without a trailing newline. `level`: 1 warning, 2 error, 3 debug. Called on the
 * thread that uses the library (or that ALSA reports on), with no lock of this library held;
 * the strings live only during the call.
 */
typedef void (*SDL_Linux_Audio_Out_log_callback)(int level, const char *tag, const char *message,
                                                 void *user);

/**
 * Sends every message of this library and of ALSA's error handler (snd_lib_error_set_handler,
 * process-wide) to `callback` instead of standard output and standard error; null restores
 * both defaults (this library's own lines, ALSA's own handler). Any thread; a message already
 * being delivered may still reach the previous callback.
 */
PCMSINK_API void SDL_Linux_Audio_Out_set_log_callback(SDL_Linux_Audio_Out_log_callback callback,
                                                      void *user);

#ifdef __cplusplus
}
#endif

#endif
