// ALSA playback through "default" or a named device for the media engine.
#include "linux_audio_out.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace {

constexpr snd_pcm_uframes_t kPeriodFrames = 32;
constexpr int kMinBufferBytes = 128;
// Left to itself ALSA picks the largest buffer a device offers (seconds on some devices,
// millions of frames on the null device): pause and stop would then lag that long.
constexpr unsigned kBufferTimeUs = 100'000;

constexpr int kWarning = 1;
constexpr int kDebug = 3;

// The application's channel for our lines and ALSA's, when it has one.
struct LogHook {
    SDL_Linux_Audio_Out_log_callback callback = nullptr;
    void *user = nullptr;
};
std::mutex g_hook_mutex;  // guards g_hook; any thread that logs or installs
LogHook g_hook;

LogHook current_hook() {
    std::lock_guard lock(g_hook_mutex);
    return g_hook;
}

void deliver(const LogHook &hook, int level, const char *tag, char *text) {
    const size_t len = std::strlen(text);
    if (len > 0 && text[len - 1] == '\n') {
        text[len - 1] = '\0';
    }
    hook.callback(level, tag, text, hook.user);
}

// Each message is flushed so that it is in order with the caller's own output.
__attribute__((format(printf, 2, 3))) void say(int level, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    if (const LogHook hook = current_hook(); hook.callback != nullptr) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        deliver(hook, level, "PCMSINK", text);
    } else {
        std::vprintf(fmt, ap);
        std::fflush(stdout);
    }
    va_end(ap);
}

// Installed only while a hook is: ALSA's default handler writes to standard error.
__attribute__((format(printf, 5, 6))) void alsa_error(const char *file, int line,
                                                      const char *function, int err,
                                                      const char *fmt, ...) {
    const LogHook hook = current_hook();
    if (hook.callback == nullptr) {
        return;
    }
    char text[512];
    int used = std::snprintf(text, sizeof text, "%s:%d:(%s) ", file, line, function);
    used = used < 0 ? 0 : std::min<int>(used, sizeof text - 1);
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text + used, sizeof text - static_cast<size_t>(used), fmt, ap);
    va_end(ap);
    if (err != 0) {
        const size_t len = std::strlen(text);
        std::snprintf(text + len, sizeof text - len, ": %s", snd_strerror(err));
    }
    deliver(hook, kWarning, "ALSA", text);
}

struct CFree {
    void operator()(void *p) const { std::free(p); }
};
struct HwParamsFree {
    void operator()(snd_pcm_hw_params_t *p) const { snd_pcm_hw_params_free(p); }
};
struct PcmClose {
    void operator()(snd_pcm_t *p) const { snd_pcm_close(p); }
};

snd_pcm_t *pcm_of(const SDL_Linux_Audio_Out *out) {
    return out != nullptr && out->priv_data != nullptr
               ? static_cast<snd_pcm_t *>(out->priv_data->handle)
               : nullptr;
}

bool channels_ok(int channels) {
    if (channels == 1 || channels == 2) {
        say(kDebug, "SDL_Linux_Alsa: %s\n",
            channels == 1 ? "CHANNEL_OUT_MONO" : "CHANNEL_OUT_STEREO");
        return true;
    }
    say(kWarning, "SDL_Linux_Alsa_new_from_spec: invalid channel %d\n", channels);
    return false;
}

struct ConfigUnref {
    void operator()(snd_config_t *c) const { snd_config_unref(c); }
};
struct ConfigDelete {
    void operator()(snd_config_t *c) const { snd_config_delete(c); }
};
using ConfigTree = std::unique_ptr<snd_config_t, ConfigDelete>;

// The id our copy of the chosen PCM is opened under; it lives only in a private tree.
constexpr const char *kRoleCopyId = "pcmsink_role_copy";

// True when `node` holds a string child `key` that is not empty; `value` (if given) gets it.
bool has_text(snd_config_t *node, const char *key, std::string_view *value = nullptr) {
    snd_config_t *child = nullptr;
    const char *text = nullptr;
    if (snd_config_search(node, key, &child) < 0 || snd_config_get_string(child, &text) < 0 ||
        text == nullptr || *text == '\0') {
        return false;
    }
    if (value != nullptr) {
        *value = text;
    }
    return true;
}

// PipeWire's ALSA plugin takes the stream's media.role from its PCM definition: for a PCM
// of that type whose definition names no role of its own, a private copy of the
// configuration holding a copy of its definition, with `role` set, under kRoleCopyId.
// Null for any other PCM and whenever the copy cannot be made (the role is a hint).
ConfigTree config_with_role(const char *device, const char *role) {
    snd_config_t *top_raw = nullptr;
    if (role == nullptr || *role == '\0' || snd_config_update_ref(&top_raw) < 0) {
        return nullptr;
    }
    const std::unique_ptr<snd_config_t, ConfigUnref> top(top_raw);
    snd_config_t *found = nullptr;
    if (snd_config_search_definition(top.get(), "pcm", device, &found) < 0) {
        return nullptr;
    }
    ConfigTree definition(found);
    std::string_view type;
    if (!has_text(definition.get(), "type", &type) || type != "pipewire" ||
        has_text(definition.get(), "role")) {
        return nullptr;
    }
    snd_config_t *node = nullptr;
    if (snd_config_search(definition.get(), "role", &node) >= 0) {
        snd_config_delete(node);  // an empty role, as the plugin's defaults give
    }
    if (snd_config_imake_string(&node, "role", role) < 0) {
        return nullptr;
    }
    if (snd_config_add(definition.get(), node) < 0) {
        snd_config_delete(node);
        return nullptr;
    }
    snd_config_t *copy_raw = nullptr;
    if (snd_config_copy(&copy_raw, top.get()) < 0) {
        return nullptr;
    }
    ConfigTree copy(copy_raw);
    snd_config_t *pcms = nullptr;
    if (snd_config_set_id(definition.get(), kRoleCopyId) < 0 ||
        snd_config_search(copy.get(), "pcm", &pcms) < 0 ||
        snd_config_add(pcms, definition.get()) < 0) {
        return nullptr;
    }
    definition.release();  // the copy's "pcm" compound owns it now
    return copy;
}

int open_pcm(snd_pcm_t **raw, const char *device, const char *role) {
    if (const ConfigTree local = config_with_role(device, role)) {
        return snd_pcm_open_lconf(raw, kRoleCopyId, SND_PCM_STREAM_PLAYBACK, 0, local.get());
    }
    return snd_pcm_open(raw, device, SND_PCM_STREAM_PLAYBACK, 0);
}

// Opens and configures the device; null after printing why.
std::unique_ptr<snd_pcm_t, PcmClose> open_device(SDL_Linux_Audio_Out *out, ALSA_Context *ctx,
                                                 const char *device, const char *role) {
    snd_pcm_t *raw = nullptr;
    int rc = open_pcm(&raw, device, role);
    if (rc < 0) {
        say(kWarning, "unable to open pcm device: %s\n", snd_strerror(rc));
        return nullptr;
    }
    std::unique_ptr<snd_pcm_t, PcmClose> pcm(raw);

    snd_pcm_hw_params_t *params_raw = nullptr;
    if (snd_pcm_hw_params_malloc(&params_raw) < 0) {
        say(kWarning, "unable to set hw parameters: %s\n", snd_strerror(-ENOMEM));
        return nullptr;
    }
    std::unique_ptr<snd_pcm_hw_params_t, HwParamsFree> params(params_raw);
    ctx->params = params.get();

    // The individual setters may refuse; snd_pcm_hw_params below decides.
    snd_pcm_hw_params_any(pcm.get(), params.get());
    snd_pcm_hw_params_set_access(pcm.get(), params.get(), SND_PCM_ACCESS_RW_INTERLEAVED);
    snd_pcm_hw_params_set_format(pcm.get(), params.get(), SND_PCM_FORMAT_S16_LE);
    snd_pcm_hw_params_set_channels(pcm.get(), params.get(), static_cast<unsigned>(out->channels));
    unsigned rate = static_cast<unsigned>(out->sample_rate_in_hz);
    snd_pcm_hw_params_set_rate_near(pcm.get(), params.get(), &rate, nullptr);
    snd_pcm_uframes_t period = kPeriodFrames;
    snd_pcm_hw_params_set_period_size_near(pcm.get(), params.get(), &period, nullptr);
    unsigned buffer_us = kBufferTimeUs;
    snd_pcm_hw_params_set_buffer_time_near(pcm.get(), params.get(), &buffer_us, nullptr);
    rc = snd_pcm_hw_params(pcm.get(), params.get());
    if (rc < 0) {
        say(kWarning, "unable to set hw parameters: %s\n", snd_strerror(rc));
        ctx->params = nullptr;
        return nullptr;
    }

    snd_pcm_hw_params_get_period_size(params.get(), &period, nullptr);
    ctx->params = nullptr;
    const long size = 4 * static_cast<long>(period);
    if (size <= 0) {
        say(kWarning, "min_buffer_size return %ld:\n", size);
        return nullptr;
    }
    out->min_buffer_size = size < kMinBufferBytes ? kMinBufferBytes : static_cast<int>(size);
    return pcm;
}

// Underrun (-EPIPE) and suspend (-ESTRPIPE) recovery; the frames of the failed write are lost.
void xrun_recovery(snd_pcm_t *pcm, int err) {
    if (err == -EPIPE) {
        int rc = snd_pcm_prepare(pcm);
        if (rc < 0) {
            say(kWarning, "Can't recovery from underrun, prepare failed: %s\n", snd_strerror(rc));
        }
    } else {
        int rc = 0;
        while ((rc = snd_pcm_resume(pcm)) == -EAGAIN) {
            sleep(1);
        }
        if (rc < 0) {
            rc = snd_pcm_prepare(pcm);
            if (rc < 0) {
                say(kWarning, "Can't recovery from suspend, prepare failed: %s\n",
                    snd_strerror(rc));
            }
        }
    }
    say(kDebug, " xrun_recovery\n");
}

}  // namespace

extern "C" {

SDL_Linux_Audio_Out *SDL_Linux_Audio_Out_new_from_sdl_spec(int samplerate, int channels,
                                                           int audioformat) {
    return SDL_Linux_Audio_Out_new_on_device(nullptr, samplerate, channels, audioformat);
}

SDL_Linux_Audio_Out *SDL_Linux_Audio_Out_new_on_device(const char *device, int samplerate,
                                                       int channels, int audioformat) {
    return SDL_Linux_Audio_Out_new_with_role(device, nullptr, samplerate, channels, audioformat);
}

SDL_Linux_Audio_Out *SDL_Linux_Audio_Out_new_with_role(const char *device, const char *role,
                                                       int samplerate, int channels,
                                                       int audioformat) {
    std::unique_ptr<SDL_Linux_Audio_Out, CFree> out(
        static_cast<SDL_Linux_Audio_Out *>(std::calloc(1, sizeof(SDL_Linux_Audio_Out))));
    if (!out) {
        say(kWarning,
            "Error: SDL_Linux_Audio_Out_new_from_sdl_spec() SDL_Linux_Audio_Out can not be "
            "allocated.\n");
        return nullptr;
    }
    std::unique_ptr<ALSA_Context, CFree> ctx(
        static_cast<ALSA_Context *>(std::calloc(1, sizeof(ALSA_Context))));
    if (!ctx) {
        say(kWarning,
            "Error: SDL_Linux_Audio_Out_new_from_sdl_spec() ALSA_Context can not be "
            "allocated.\n");
        return nullptr;
    }
    out->sample_rate_in_hz = samplerate;
    out->audio_format = audioformat;
    out->channels = channels;
    if (!channels_ok(channels)) {
        return nullptr;
    }
    if (samplerate < 4000 || samplerate > 48000) {
        say(kWarning, "SDL_Linux_Alsa_new_from_spec: invalid sample rate %d\n", samplerate);
        return nullptr;
    }
    auto pcm = open_device(out.get(), ctx.get(),
                           device != nullptr && *device != '\0' ? device : "default", role);
    if (!pcm) {
        return nullptr;
    }
    ctx->handle = pcm.release();
    out->priv_data = ctx.release();
    return out.release();
}

int SDL_Linux_Audio_Out_write_byte(SDL_Linux_Audio_Out *audioout, const void *data, int samplenum) {
    if (samplenum <= 0) {
        return samplenum;
    }
    snd_pcm_t *pcm = pcm_of(audioout);
    if (pcm == nullptr || data == nullptr) {
        return -EBADFD;
    }
    const snd_pcm_sframes_t rc =
        snd_pcm_writei(pcm, data, static_cast<snd_pcm_uframes_t>(samplenum));
    if (rc >= 0) {
        return static_cast<int>(rc);
    }
    if (rc == -EAGAIN) {
        say(kWarning, "error from writei:EAGAIN\n");
        return 0;
    }
    if (rc == -EPIPE || rc == -ESTRPIPE) {
        xrun_recovery(pcm, static_cast<int>(rc));
        return 0;
    }
    // The caller decides what a dead device means; the process goes on.
    say(kWarning, " SDL_Linux_Alsa_write_byte  error: %s\n", snd_strerror(static_cast<int>(rc)));
    return static_cast<int>(rc);
}

void SDL_Linux_Audio_Out_flush(SDL_Linux_Audio_Out *audioout) {
    snd_pcm_t *pcm = pcm_of(audioout);
    if (pcm == nullptr) {
        return;
    }
    say(kDebug, "SDL_Linux_Alsa_flush: \n");
    snd_pcm_drain(pcm);
    int rc = snd_pcm_prepare(pcm);
    if (rc < 0) {
        say(kWarning, "SDL_Linux_Alsa_flush() error: %s\n", snd_strerror(rc));
    }
}

void SDL_Linux_Audio_Out_stop(SDL_Linux_Audio_Out *audioout) {
    if (snd_pcm_t *pcm = pcm_of(audioout)) {
        snd_pcm_drop(pcm);
    }
}

void SDL_Linux_Audio_Out_release(SDL_Linux_Audio_Out *audioout) {
    if (snd_pcm_t *pcm = pcm_of(audioout)) {
        snd_pcm_close(pcm);
        // Forgetting the handle makes a later free (or release) close nothing twice.
        audioout->priv_data->handle = nullptr;
    }
}

void SDL_Linux_Audio_Out_free(SDL_Linux_Audio_Out *audioout) {
    if (audioout == nullptr) {
        return;
    }
    SDL_Linux_Audio_Out_release(audioout);
    std::free(audioout->priv_data);
    std::free(audioout);
}

void SDL_Linux_Audio_Out_play(SDL_Linux_Audio_Out *) {}

void SDL_Linux_Audio_Out_pause(SDL_Linux_Audio_Out *) {}

void SDL_Linux_Audio_Out_set_volume(SDL_Linux_Audio_Out *, float, float) {}

void SDL_Linux_Audio_Out_set_log_callback(SDL_Linux_Audio_Out_log_callback callback, void *user) {
    std::lock_guard lock(g_hook_mutex);
    g_hook = LogHook{callback, user};
    snd_lib_error_set_handler(callback != nullptr ? &alsa_error : nullptr);
}

}  // extern "C"
