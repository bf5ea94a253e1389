// The C entry points. No exception leaves them: a failure to allocate ends the call quietly
// (and, for prepareAsync, returns -1).
#include "engine.h"
#include "log.h"
#include "orvellaplayer.h"

namespace {

using orv::guarded;

template <typename R, typename F>
R guarded_result(const char *name, R failed, F &&f) {
    R result = failed;
    guarded(name, [&] { result = f(); });
    return result;
}

orv::Engine &engine() {
    return orv::Engine::instance();
}

}  // namespace

extern "C" {

void Register_post_event(orv_event_fn callback) {
    guarded(__func__, [&] { engine().set_callback(callback); });
}

void Register_post_source_event(orv_source_event_fn callback) {
    guarded(__func__, [&] { engine().set_source_callback(callback); });
}

uint64_t IjkMediaPlayer_getSource(void) {
    return guarded_result(__func__, uint64_t{0}, [] { return engine().source(); });
}

void Register_metadata_event(orv_metadata_fn callback) {
    guarded(__func__, [&] { engine().set_metadata_callback(callback); });
}

void IjkMediaPlayer_native_init(void) {
    guarded(__func__, [] { engine().init(); });
}

void IjkMediaPlayer_native_finalize(void) {
    guarded(__func__, [] { engine().finalize(); });
}

void IjkMediaPlayer_setDataSourceAndHeaders(const char *url) {
    guarded(__func__, [&] { engine().set_source(url); });
}

int IjkMediaPlayer_prepareAsync(int start_ms, int /*buffer_s*/) {
    return guarded_result(__func__, -1, [&] { return engine().prepare(start_ms); });
}

int IjkMediaPlayer_prepareAsyncPaused(int start_ms) {
    return guarded_result(__func__, -1, [&] { return engine().prepare(start_ms, true); });
}

void IjkMediaPlayer_start(void) {
    guarded(__func__, [] { engine().start(); });
}

void IjkMediaPlayer_pause(void) {
    guarded(__func__, [] { engine().pause(); });
}

void IjkMediaPlayer_stop(void) {
    guarded(__func__, [] { engine().stop(); });
}

void IjkMediaPlayer_reset(void) {
    guarded(__func__, [] { engine().reset(); });
}

void IjkMediaPlayer_seekTo(int64_t msec) {
    guarded(__func__, [&] { engine().seek(msec); });
}

void IjkMediaPlayer_setdurtion(int64_t duration_s, int32_t original_duration_s) {
    guarded(__func__, [&] { engine().set_duration(duration_s, original_duration_s); });
}

int64_t IjkMediaPlayer_getDuration(void) {
    return guarded_result(__func__, int64_t{0}, [] { return engine().duration_ms(); });
}

int IjkMediaPlayer_setPlaybackSpeed(float speed) {
    return guarded_result(__func__, -1, [&] { return engine().set_speed(speed); });
}

int IJKMediaPlayer_setCrossfade(int ms) {
    return guarded_result(__func__, -1, [&] { return engine().set_crossfade(ms); });
}

void IjkMediaPlayer_setVolume(float left_volume, float right_volume) {
    guarded(__func__, [&] { engine().set_volume(left_volume, right_volume, 0); });
}

void IjkMediaPlayer_rampVolume(float left_volume, float right_volume, int ramp_ms) {
    guarded(__func__, [&] { engine().set_volume(left_volume, right_volume, ramp_ms); });
}

void IJKMediaPlayer_setDns_Address(const char *address) {
    guarded(__func__, [&] { engine().set_dns(address); });
}

void IjkMediaPlayer_clearDns_Address(void) {
    guarded(__func__, [] { engine().set_dns(nullptr); });
}

void IJKMediaPlayer_setProxyAddress(const char *proxy) {
    guarded(__func__, [&] { engine().set_proxy(proxy); });
}

void IjkMediaPlayer_clearProxyAdress(void) {
    guarded(__func__, [] { engine().set_proxy(nullptr); });
}

void IjkMediaPlayer_setCaFile(const char *path) {
    guarded(__func__, [&] { engine().set_ca_file(path); });
}

void IjkMediaPlayer_setMaxBitrate(int64_t bits_per_second) {
    guarded(__func__, [&] { engine().set_max_bitrate(bits_per_second); });
}

void IjkMediaPlayer_setReadAhead(int64_t max_bytes, int32_t max_seconds) {
    guarded(__func__, [&] { engine().set_read_ahead(max_bytes, max_seconds); });
}

void IjkMediaPlayer_prefetch(const char *url) {
    guarded(__func__, [&] { engine().prefetch(url); });
}

void IJKMediaPlayer_setAudioDevice(const char *alsa_pcm) {
    guarded(__func__, [&] { engine().set_audio_device(alsa_pcm); });
}

void IJKMediaPlayer_setAudioRole(const char *role) {
    guarded(__func__, [&] { engine().set_audio_role(role); });
}

void IjkMediaPlayer_setDebugVerose(int level) {
    guarded(__func__, [&] { engine().set_debug(level); });
}

void IJKMediaPlayer_setLogCallback(IjkLogCallback callback, void *user) {
    guarded(__func__, [&] { orv::set_log_callback(callback, user); });
}

}  // extern "C"
