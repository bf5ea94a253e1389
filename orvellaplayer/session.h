// One prepared source and the thread that opens, decodes, paces and writes it.
#ifndef ORV_SESSION_H
#define ORV_SESSION_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "event_thread.h"
#include "gain_stage.h"
#include "media_input.h"
#include "media_timeline.h"
#include "pace_clock.h"
#include "pcm_output.h"
#include "tempo.h"

namespace orv {

// Settings that outlive sessions; written by command threads, read by the session thread.
struct PlayerSettings {
    std::atomic<float> gain_left{1.0f};
    std::atomic<float> gain_right{1.0f};
    std::atomic<int> gain_ramp_ms{0};  // how long the way to the gains above takes
    // Moves on after the three above were stored: a session takes them up together.
    std::atomic<std::uint32_t> gain_serial{0};
    std::atomic<std::int64_t> duration_override_ms{-1};
    std::atomic<std::int64_t> read_ahead_seconds{kDefaultReadAheadSeconds};
    std::atomic<float> speed{1.0f};    // ORV_MIN_SPEED..ORV_MAX_SPEED; live sources play at 1
    std::atomic<int> crossfade_ms{0};  // 0..ORV_MAX_CROSSFADE_MS, at the automatic next item
    AudioDeviceSetting audio_device;
};

// The item to play after this one, with its fetch under way.
struct NextSource {
    InputOptions input;
    std::unique_ptr<Fetcher> fetch;
};

struct SessionConfig {
    InputOptions input;
    std::int64_t start_ms = 0;
    std::uint64_t generation = 0;
    bool paused = false;  // opens paused: silent until play()
    // Run on the session's thread before it opens the output: returns once the sessions
    // before it closed theirs, or once `abort` is set. Null: opens at once.
    std::function<void(const std::atomic<bool> &abort)> await_output;
    // Run on the session's thread when a finite source's input ends: the item that follows
    // it (given the session's own options), which it then plays in the same output without
    // a seam. Null, or nothing returned: the session ends with its source.
    std::function<std::optional<NextSource>(const InputOptions &)> take_next;
};

class Session {
  public:
    // `prefetched`: a fetch of the source's URL already under way, or null.
    Session(SessionConfig config, EventThread &events, const PlayerSettings &settings,
            std::unique_ptr<Fetcher> prefetched);
    // Aborts every wait (network included) and joins the thread.
    ~Session();
    // Aborts every wait without waiting: the thread fades out and ends by itself.
    void abort();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void play();
    void pause();
    void seek(std::int64_t ms);
    std::int64_t duration_ms() const;  // 0 when unknown
    // A live source (known once opened): it plays at speed 1 whatever the setting.
    bool live() const { return live_.load(); }
    // The URL of the next item once this session has gone on into it, else empty.
    std::string moved_to() const;
    // The item gone on into becomes this session's source under `generation`: it is
    // prepared (the event posted) and plays on where it is, as if just started.
    void adopt(std::uint64_t generation);
    // Kept over a stop for the prepare of the item gone on into: unless adopted within
    // kParkedFor, it ends as at a stop (the stop was the user's).
    void park();

  private:
    using Clock = std::chrono::steady_clock;
    struct Command {
        bool abort = false;
        bool paused = false;
        std::optional<std::int64_t> seek;
        std::optional<std::uint64_t> adopt;
        std::optional<Clock::time_point> parked_until;
    };

    void run();
    void bound_read_ahead();
    void play_loop();
    bool fill(bool &input_done);
    // At the end of the input: opens the next item into the same output; false if none.
    bool move_on();
    // Decoded audio of this item kept unwritten for the crossfade into the next: the fade's
    // length once the item nears its end, else 0.
    std::int64_t crossfade_hold() const;
    // Mixes the start of the item just opened into the last `frames` in hand; returns how
    // many frames were mixed (fewer when the next item is shorter).
    std::int64_t mix_next(std::int64_t frames);
    // The end of the item moved on from has been heard: it is told, once.
    void check_boundary(Clock::time_point now);
    void take_adoption(std::uint64_t generation);
    // A seek before the next item was adopted belongs to the item that ended: back to it.
    void move_back();
    std::int64_t pending_frames() const;
    // Output frames that `frames` of the source become at the current speed.
    std::int64_t out_frames(std::int64_t frames) const;
    // Takes up the speed setting before the next piece is written.
    bool follow_speed();
    // Takes the output to silence within the fade length, with what is decoded already.
    bool fade_out();
    // Queues the input's now-playing changes for when the audio decoded next is heard.
    void queue_now_playing(std::int64_t at_media);
    // Hands on the changes whose audio has been heard (all of them: `all`).
    void release_now_playing(Clock::time_point now, bool all);
    // Opens the output on the device set now; false (the error posted) when it cannot.
    bool open_output();
    // Moves the sound to a device chosen while this source plays, at the same position.
    bool follow_device();
    // After a stop: fades out and lets what was written play, so the device is not cut
    // mid-wave when it closes.
    void finish_output();
    bool is_live() const;
    bool reconnect();
    void fail_open(const std::string &reason, int detail, int av_error);
    // Writes `count` frames of the source at the current speed.
    bool write_piece(const std::int16_t *frames, int count);
    // Writes `count` output frames that stand for `media` frames of the source.
    bool write_out(const std::int16_t *frames, int count, int media);
    void apply_seek(std::int64_t ms);
    void progress(Clock::time_point now);
    void download_progress(Clock::time_point now, std::int64_t pending_frames, bool input_done);
    void post(int what, int arg1 = 0, int arg2 = 0);

    Command take_command();
    // Waits until `deadline` or the next command; false when aborted.
    bool wait_until(Clock::time_point deadline);
    bool aborted() const { return abort_flag_.load(); }

    static int on_interrupt(void *opaque);
    void check_starved();

    const SessionConfig config_;
    EventThread &events_;
    const PlayerSettings &settings_;

    // Protects abort_, paused_, seek_, version_, adopt_, parked_until_, moved_to_ (command
    // threads, session thread).
    mutable std::mutex mu_;
    std::condition_variable cv_;
    bool abort_ = false;
    bool paused_ = config_.paused;
    std::optional<std::int64_t> seek_;
    std::uint64_t version_ = 0;  // bumped by every command, so waits can tell one came
    std::optional<std::uint64_t> adopt_;
    std::optional<Clock::time_point> parked_until_;
    std::string moved_to_;  // the next item's URL from move_on() until adopted or moved back

    std::atomic<bool> abort_flag_{false};            // read by FFmpeg's interrupt callback
    std::atomic<bool> paused_flag_{config_.paused};  // read by the stall check inside FFmpeg waits
    std::atomic<std::int64_t> duration_ms_{0};
    std::atomic<bool> live_{false};

    // Session thread only.
    std::unique_ptr<Fetcher> prefetched_;  // handed to the first open
    std::unique_ptr<MediaInput> input_;
    std::uint64_t generation_ = config_.generation;  // of the events posted
    std::unique_ptr<MediaInput> ended_input_;        // the item moved on from, until adopted
    bool boundary_pending_ = false;                  // its end not yet heard
    std::int64_t boundary_media_ = 0;                // timeline_ frame the ended item ends at
    std::int64_t next_start_media_ = 0;              // the next item's first (a crossfade's start)
    std::uint64_t boundary_generation_ = 0;          // of the item that ends there
    std::int64_t item_start_media_ = 0;              // timeline_ frame the current item started at
    std::unique_ptr<PcmOutput> output_;
    PaceClock clock_;
    MediaTimeline timeline_;  // clock_'s output frames -> source frames
    std::unique_ptr<Tempo> tempo_;
    std::unique_ptr<GainStage> gain_;
    float refused_speed_ = 0.0f;     // a speed the filter could not be set up for
    bool tempo_drained_ = false;     // the input ended and the filter gave up its tail
    std::vector<std::int16_t> pcm_;  // decoded, not yet written
    std::size_t at_ = 0;             // samples of pcm_ already written
    std::vector<std::int16_t> tempo_out_;
    // Now-playing changes and the source frame (timeline_'s count) they are heard at.
    std::deque<std::pair<std::int64_t, NowPlaying>> now_playing_;
    NowPlaying last_now_playing_;  // the last one queued: repeats are not changes
    std::int64_t base_ms_ = 0;     // position of the first frame counted by clock_
    bool buffering_ = false;
    Clock::time_point stalled_since_{};  // while buffering_ (pauses not counted)
    bool starved_out_ = false;           // buffering_ outlasted the reconnect window
    bool completed_ = false;
    Clock::time_point next_progress_{};
    Clock::time_point next_download_{};
    bool download_done_ = false;  // the whole of a sized source was fetched and reported
    std::vector<std::int16_t> scratch_;
    std::uint32_t gain_serial_ = 0;    // the settings' volume change taken up last
    std::uint32_t device_serial_ = 0;  // the settings' device choice the output is on

    std::thread thread_;  // last member: starts once everything above exists
};

}  // namespace orv

#endif
