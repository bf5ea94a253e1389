// The single player instance: commands from any thread, one session at a time.
#ifndef ORV_ENGINE_H
#define ORV_ENGINE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "event_thread.h"
#include "session.h"
#include "session_retirer.h"

namespace orv {

class Engine {
  public:
    static Engine &instance();

    void set_callback(orv_event_fn cb) { events_.set_callback(cb); }
    void set_source_callback(orv_source_event_fn cb) { events_.set_source_callback(cb); }
    // The generation the events of the current session carry.
    std::uint64_t source();
    void set_metadata_callback(orv_metadata_fn cb) { events_.set_metadata_callback(cb); }
    void init();
    void finalize();

    void set_source(const char *url);
    // `paused`: the source opens paused (IjkMediaPlayer_prepareAsyncPaused).
    int prepare(int start_ms, bool paused = false);
    void start();
    void pause();
    void stop();
    void reset();
    void seek(std::int64_t ms);
    void set_duration(std::int64_t duration_s, std::int32_t original_s);
    std::int64_t duration_ms();
    // 0, -1 out of ORV_MIN_SPEED..ORV_MAX_SPEED, -2 a live source is playing (nothing changes).
    int set_speed(float speed);
    // 0, -1 out of 0..ORV_MAX_CROSSFADE_MS (nothing changes).
    int set_crossfade(int ms);
    void set_volume(float left, float right, int ramp_ms);
    void set_dns(const char *address);
    void set_proxy(const char *proxy);
    void set_ca_file(const char *path);
    // The playing session follows it at once, later ones from their start.
    void set_audio_device(const char *alsa_pcm) { settings_.audio_device.set(alsa_pcm); }
    // Taken up when an output opens next.
    void set_audio_role(const char *role) { settings_.audio_device.set_role(role); }
    void set_max_bitrate(std::int64_t bits_per_second);
    void set_read_ahead(std::int64_t max_bytes, std::int32_t max_seconds);
    // Starts fetching `url` ahead; the next prepare of that very URL reads from it.
    void prefetch(const char *url);
    void set_debug(int level);

  private:
    Engine();
    // Ends the current session and retires its pending events. Caller holds mu_.
    void end_session_locked();
    // Retires a session kept over a stop for the next prepare. Caller holds mu_.
    void drop_parked_locked();
    // The prefetched item for a session whose input ended (run on its thread).
    std::optional<NextSource> take_next(const InputOptions &current);
    InputOptions input_options_locked(const std::string &url) const;
    // Caller holds prefetch_mu_.
    bool usable_prefetch_locked(const InputOptions &now) const;

    PlayerSettings settings_;
    EventThread events_;  // declared before session_: outlives every session
    // Ends the sessions left behind; between events_ and session_ for the same reason.
    SessionRetirer retirer_;
    // Protects url_, dns_, proxy_, ca_file_, max_bitrate_, read_ahead_bytes_, session_,
    // parked_, generation_. Held by command
    // threads (the event thread too, when a callback commands); never by the session or event
    // thread on their own, so joining a session under it cannot deadlock.
    std::mutex mu_;
    std::string url_;
    std::string dns_;
    std::string proxy_;
    std::string ca_file_;
    std::int64_t max_bitrate_ = kDefaultMaxBitrate;
    std::int64_t read_ahead_bytes_ = kDefaultReadAheadBytes;
    std::uint64_t generation_ = 0;
    std::unique_ptr<Session> session_;
    // A session that went on into the next item when its own ended, between the stop and
    // the prepare of that item (which adopts it rather than opening the device again).
    std::unique_ptr<Session> parked_;
    // Protects prefetch_url_, prefetch_options_, prefetch_; taken under mu_ or alone (by a
    // session's thread), never the other way round.
    std::mutex prefetch_mu_;
    std::string prefetch_url_;
    InputOptions prefetch_options_;  // what the prefetch was started with
    std::unique_ptr<Fetcher> prefetch_;
};

}  // namespace orv

#endif
