#include "session.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "log.h"
#include "orvellaplayer.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

constexpr auto kProgressEvery = 500ms;
constexpr auto kDownloadEvery = 1s;
constexpr auto kStallGrace = 50ms;      // dry this long while waiting on input = stalled
constexpr auto kReconnectWindow = 30s;  // a live source silent this long is given up
constexpr auto kReconnectPause = 300ms;
constexpr auto kResumeCushion = 500ms;  // audio in hand before a stall ends
constexpr auto kIdleWait = 24h;         // paused or finished: only a command wakes us

std::int16_t scale(std::int16_t v, float gain) {
    const float s = std::round(static_cast<float>(v) * gain);
    return static_cast<std::int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

}  // namespace

Session::Session(SessionConfig config, EventThread &events, const PlayerSettings &settings,
                 std::unique_ptr<Fetcher> prefetched)
    : config_(std::move(config)),
      events_(events),
      settings_(settings),
      prefetched_(std::move(prefetched)),
      thread_([this] { run(); }) {}

Session::~Session() {
    {
        std::lock_guard lock(mu_);
        abort_ = true;
        ++version_;
    }
    abort_flag_.store(true);
    cv_.notify_all();
    thread_.join();
}

void Session::play() {
    std::lock_guard lock(mu_);
    paused_ = false;
    paused_flag_.store(false);
    ++version_;
    cv_.notify_all();
}

void Session::pause() {
    std::lock_guard lock(mu_);
    paused_ = true;
    paused_flag_.store(true);
    ++version_;
    cv_.notify_all();
}

void Session::seek(std::int64_t ms) {
    std::lock_guard lock(mu_);
    seek_ = ms;
    ++version_;
    cv_.notify_all();
}

std::int64_t Session::duration_ms() const {
    const std::int64_t own = duration_ms_.load();
    return own > 0 ? own : std::max<std::int64_t>(settings_.duration_override_ms.load(), 0);
}

void Session::post(int what, int arg1, int arg2) {
    events_.post(config_.generation, what, arg1, arg2);
}

Session::Command Session::take_command() {
    std::lock_guard lock(mu_);
    Command c{abort_, paused_, seek_};
    seek_.reset();
    return c;
}

bool Session::wait_until(Clock::time_point deadline) {
    std::unique_lock lock(mu_);
    const std::uint64_t seen = version_;
    cv_.wait_until(lock, deadline, [&] { return abort_ || version_ != seen; });
    return !abort_;
}

int Session::on_interrupt(void *opaque) {
    auto *self = static_cast<Session *>(opaque);
    self->check_starved();
    return self->aborted() || self->starved_out_ ? 1 : 0;
}

// Runs on the session thread whenever it waits for input. A stall that outlasts the
// reconnect window ends the wait (and then playback, with an error): the listener never
// sees buffering start without an end or an error.
void Session::check_starved() {
    if (completed_ || paused_flag_.load() || !clock_.running()) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (buffering_) {
        starved_out_ = starved_out_ || now - stalled_since_ >= kReconnectWindow;
        return;
    }
    if (clock_.dry_for(now) >= kStallGrace) {
        buffering_ = true;
        stalled_since_ = now;
        post(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START);
    }
}

void Session::run() {
    input_ = std::make_unique<MediaInput>(&Session::on_interrupt, this);
    int av_error = 0;
    const int detail = input_->open(config_.input, &av_error, std::move(prefetched_));
    if (aborted()) {
        return;
    }
    if (detail != 0) {
        fail_open(input_->reason(), detail, av_error);
        return;
    }
    duration_ms_.store(std::max<std::int64_t>(input_->duration_ms(), 0));
    bound_read_ahead();
    if (config_.start_ms > 0 && input_->seek(config_.start_ms)) {
        base_ms_ = config_.start_ms;
    }
    output_ = PcmOutput::open(input_->sample_rate(), input_->channels());
    clock_ = PaceClock(input_->sample_rate());
    clock_.restart(Clock::now());
    if (aborted()) {
        return;
    }
    post(ORV_EVENT_PREPARED);
    play_loop();
}

// The read-ahead holds at most the configured seconds of audio, judged by the source's
// average rate, and never more bytes than configured.
void Session::bound_read_ahead() {
    Fetcher *fetcher = input_->fetcher();
    const std::int64_t size = input_->size_bytes();
    const std::int64_t duration = input_->duration_ms();
    if (fetcher == nullptr || size <= 0 || duration <= 0) {
        return;
    }
    const std::int64_t seconds = settings_.read_ahead_seconds.load();
    const std::int64_t bytes = av_rescale(size, seconds * 1000, duration);
    fetcher->set_limit(std::min(bytes, config_.input.read_ahead_bytes));
}

void Session::play_loop() {
    std::vector<std::int16_t> pcm;
    std::size_t at = 0;  // samples of pcm already written
    bool input_done = false;
    const int channels = input_->channels();
    const int piece = std::max(input_->sample_rate() / 50, 1);  // 20 ms per write
    const std::int64_t margin = std::int64_t{input_->sample_rate()} * ORV_MAX_AHEAD_MS / 1000;
    const std::int64_t cushion =
        std::int64_t{input_->sample_rate()} * kResumeCushion.count() / 1000;

    for (;;) {
        const Command cmd = take_command();
        if (cmd.abort) {
            return;
        }
        Clock::time_point now = Clock::now();
        if (cmd.seek) {
            apply_seek(*cmd.seek);
            pcm.clear();
            at = 0;
            input_done = false;
            continue;
        }
        if (cmd.paused && clock_.running()) {
            clock_.pause(now);
        } else if (!cmd.paused && !clock_.running() && !completed_) {
            clock_.resume(now);
            next_progress_ = now;
            stalled_since_ = now;  // a pause is no stall
        }
        if (cmd.paused || completed_) {
            if (!wait_until(now + kIdleWait)) {
                return;
            }
            continue;
        }
        progress(now);
        download_progress(now, static_cast<std::int64_t>(pcm.size() - at) / channels, input_done);
        // After a stall, sound resumes only with a cushion in hand: a live source that comes
        // back at real-time pace would otherwise stall again at its first hiccup.
        if (buffering_ && !input_done && at < pcm.size() &&
            static_cast<std::int64_t>(pcm.size() - at) / channels < cushion) {
            if (!fill(pcm, input_done)) {
                return;
            }
            continue;
        }
        if (at == pcm.size()) {
            pcm.clear();
            at = 0;
            if (input_done) {
                // Finished: let what was written play out, then report the end once.
                const auto left = clock_.until_room(now, 0, 0);
                if (left.count() > 0) {
                    if (!wait_until(std::min(now + left, next_progress_))) {
                        return;
                    }
                    continue;
                }
                completed_ = true;
                clock_.pause(now);
                if (buffering_) {
                    buffering_ = false;
                    post(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END);
                }
                post(ORV_EVENT_COMPLETED);
                continue;
            }
            if (!fill(pcm, input_done)) {
                return;
            }
            continue;
        }
        const auto frames_left = static_cast<int>((pcm.size() - at) / channels);
        const int count = std::min(piece, frames_left);
        const auto wait = clock_.until_room(now, count, margin);
        if (wait.count() > 0) {
            if (!wait_until(std::min(now + wait, next_progress_))) {
                return;
            }
            continue;
        }
        if (!write_piece(pcm.data() + at, count)) {
            return;
        }
        at += static_cast<std::size_t>(count) * channels;
    }
}

// Reads the next PCM; false when the session is over (aborted or failed for good).
bool Session::fill(std::vector<std::int16_t> &pcm, bool &input_done) {
    int detail = 0;
    int av_error = 0;
    switch (input_->read(pcm, &detail, &av_error)) {
        case MediaInput::Read::Data:
            return true;
        case MediaInput::Read::End:
            // A live stream has no end: its end is a broken connection.
            if (is_live()) {
                return reconnect();
            }
            // The fetch resumed breaks at the byte; an end here is the source's own.
            input_done = true;
            return true;
        case MediaInput::Read::Failed:
            if (aborted()) {
                return false;
            }
            if (starved_out_) {
                post(ORV_EVENT_ERROR, ORV_ERROR_NETWORK, AVERROR(ETIMEDOUT));
                return false;
            }
            if (is_live() && detail == ORV_ERROR_NETWORK) {
                return reconnect();
            }
            post(ORV_EVENT_ERROR, detail, av_error);
            return false;
    }
    return false;
}

// What the server said decides: an answer without a length (nor one given by setdurtion)
// is live, so its end is a broken connection; unless the server ended the body itself (a
// chunked file), which is the end. Sources with a length are finite and must not start
// over, whether or not they can seek.
bool Session::is_live() const {
    return !input_->has_end() && !input_->ended_cleanly() &&
           settings_.duration_override_ms.load() <= 0;
}

// Opens a live source again. The output keeps its format: a source back in another one
// (a station that changed encoders) is resampled to it.
bool Session::reconnect() {
    const auto give_up = Clock::now() + kReconnectWindow;
    int av_error = 0;
    std::string reason;
    while (Clock::now() < give_up && !starved_out_) {
        const auto resume_at = Clock::now() + kReconnectPause;
        while (Clock::now() < resume_at) {
            check_starved();
            if (!wait_until(std::min(resume_at, Clock::now() + 100ms))) {
                return false;
            }
        }
        InputOptions options = config_.input;
        options.out_rate = input_->sample_rate();
        options.out_channels = input_->channels();
        auto fresh = std::make_unique<MediaInput>(&Session::on_interrupt, this);
        const int detail = fresh->open(options, &av_error);
        if (aborted()) {
            return false;
        }
        reason = fresh->reason();
        if (detail == 0) {
            input_ = std::move(fresh);
            return true;
        }
    }
    fail_open(reason, ORV_ERROR_NETWORK, av_error);
    return false;
}

// One E line says why, then the error event.
void Session::fail_open(const std::string &reason, int detail, int av_error) {
    error("cannot open %s: %s", loggable_url(config_.input.url).c_str(), reason.c_str());
    post(ORV_EVENT_ERROR, detail, av_error);
}

bool Session::write_piece(const std::int16_t *frames, int count) {
    const int channels = input_->channels();
    const float left = settings_.gain_left.load();
    const float right = settings_.gain_right.load();
    const std::int16_t *data = frames;
    if (left != 1.0f || right != 1.0f) {
        scratch_.assign(frames, frames + static_cast<std::size_t>(count) * channels);
        for (std::size_t i = 0; i < scratch_.size(); ++i) {
            scratch_[i] = scale(scratch_[i], (channels == 2 && i % 2 == 1) ? right : left);
        }
        data = scratch_.data();
    }
    const int rc = output_->write(data, count);
    if (rc < 0) {
        post(ORV_EVENT_ERROR, ORV_ERROR_OUTPUT, rc);
        return false;
    }
    const Clock::time_point now = Clock::now();
    clock_.wrote(now, count);
    if (buffering_) {
        buffering_ = false;
        post(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END);
    }
    return true;
}

void Session::apply_seek(std::int64_t ms) {
    const std::int64_t duration = duration_ms();
    std::int64_t target = std::max<std::int64_t>(ms, 0);
    if (duration > 0) {
        target = std::min(target, duration);
    }
    if (input_->seek(target)) {
        base_ms_ = target;
        const bool was_running = clock_.running();
        clock_.restart(Clock::now());
        clock_.pause(Clock::now());
        if (was_running || completed_) {
            clock_.resume(Clock::now());
        }
        completed_ = false;
        buffering_ = false;
        download_done_ = false;
        next_progress_ = Clock::now();
    }
    post(ORV_EVENT_SEEK_COMPLETE);
}

void Session::progress(Clock::time_point now) {
    if (now < next_progress_ || buffering_) {
        return;
    }
    next_progress_ = now + kProgressEvery;
    const std::int64_t duration = duration_ms();
    // A duration past what the event carries is as good as unknown: no position is told
    // rather than one that wraps (and reads as the end).
    if (duration <= 0 || duration > std::numeric_limits<int>::max()) {
        return;
    }
    const std::int64_t played = clock_.played(now) * 1000 / input_->sample_rate();
    const std::int64_t position = std::clamp<std::int64_t>(base_ms_ + played, 0, duration);
    post(ORV_EVENT_POSITION, static_cast<int>(position), static_cast<int>(duration));
}

// A sized source reports bytes fetched and its size until all of it is fetched (that last
// report included); one of unknown size reports the ms of audio decoded ahead of the play
// position and the duration (0 when unknown).
void Session::download_progress(Clock::time_point now, std::int64_t pending_frames,
                                bool input_done) {
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    if (download_done_ || (now < next_download_ && !input_done)) {
        return;
    }
    const std::int64_t size = input_->size_bytes();
    if (now < next_download_ && size <= 0) {
        return;
    }
    next_download_ = now + kDownloadEvery;
    if (size > 0) {
        const std::int64_t fetched = input_done ? size : std::min(input_->bytes_fetched(), size);
        download_done_ = fetched == size;
        post(ORV_EVENT_DOWNLOAD_PROGRESS, static_cast<int>(std::min(fetched, kMax)),
             static_cast<int>(std::min(size, kMax)));
        return;
    }
    const std::int64_t ahead_ms =
        (clock_.ahead(now) + pending_frames) * 1000 / input_->sample_rate();
    post(ORV_EVENT_DOWNLOAD_PROGRESS, static_cast<int>(std::min(ahead_ms, kMax)),
         static_cast<int>(std::min(duration_ms(), kMax)));
}

}  // namespace orv
