#include "session.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "crossfade.h"
#include "log.h"
#include "orvellaplayer.h"

namespace orv {
namespace {

using namespace std::chrono_literals;

constexpr auto kProgressEvery = 500ms;
constexpr auto kDownloadEvery = 1s;
constexpr auto kStallGrace = 50ms;               // dry this long while waiting on input = stalled
constexpr auto kReconnectWindow = kGiveUpAfter;  // a source without progress is given up
constexpr auto kReconnectPause = 300ms;
constexpr auto kResumeCushion = 500ms;  // audio in hand before a stall ends
constexpr auto kIdleWait = 24h;         // paused or finished: only a command wakes us
// The album player prepares the next item right after its stop, on the same thread.
constexpr auto kParkedFor = 100ms;
// What a stop may wait for the written audio to play out after its fade.
constexpr auto kPlayOutLimit = std::chrono::milliseconds(ORV_MAX_AHEAD_MS + 2 * kFadeMs);

}  // namespace

Session::Session(SessionConfig config, EventThread &events, const PlayerSettings &settings,
                 std::unique_ptr<Fetcher> prefetched)
    : config_(std::move(config)),
      events_(events),
      settings_(settings),
      prefetched_(std::move(prefetched)),
      thread_([this] {
          if (!guarded("session", [this] { run(); })) {
              guarded("session",
                      [this] { post(ORV_EVENT_ERROR, ORV_ERROR_DECODE, AVERROR(ENOMEM)); });
          }
      }) {}

Session::~Session() {
    abort();
    thread_.join();
}

void Session::abort() {
    {
        std::lock_guard lock(mu_);
        abort_ = true;
        ++version_;
    }
    abort_flag_.store(true);
    cv_.notify_all();
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
    events_.post(generation_, what, arg1, arg2);
}

void Session::park() {
    std::lock_guard lock(mu_);
    parked_until_ = Clock::now() + kParkedFor;
    ++version_;
    cv_.notify_all();
}

std::string Session::moved_to() const {
    std::lock_guard lock(mu_);
    return moved_to_;
}

void Session::adopt(std::uint64_t generation) {
    std::lock_guard lock(mu_);
    adopt_ = generation;
    parked_until_.reset();
    ++version_;
    cv_.notify_all();
}

Session::Command Session::take_command() {
    std::lock_guard lock(mu_);
    Command c{abort_, paused_, seek_, adopt_, parked_until_};
    seek_.reset();
    adopt_.reset();
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
        // A source that still brings bytes (read again from its start, what was had being
        // skipped) is making progress, however long the output has been dry.
        starved_out_ = starved_out_ ||
                       now - std::max(stalled_since_, input_->progress_at()) >= kReconnectWindow;
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
    live_.store(is_live());
    if (config_.await_output) {
        config_.await_output(abort_flag_);  // the device is the previous session's until closed
        if (aborted()) {
            return;
        }
    }
    if (!open_output()) {
        return;
    }
    clock_ = PaceClock(input_->sample_rate());
    clock_.restart(Clock::now());
    if (config_.paused) {
        clock_.pause(Clock::now());  // nothing is written, not even a fade, until play()
    }
    tempo_ = std::make_unique<Tempo>(input_->sample_rate(), input_->channels());
    gain_ = std::make_unique<GainStage>(input_->sample_rate());
    // A new source starts at the volume reached, not on the way to it.
    gain_serial_ = settings_.gain_serial.load();
    gain_->set_volume(settings_.gain_left.load(), settings_.gain_right.load(), 0);
    if (aborted()) {
        return;
    }
    post(ORV_EVENT_PREPARED);
    play_loop();
    if (aborted()) {
        finish_output();
    }
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
    bool input_done = false;
    const int channels = input_->channels();
    const int piece = std::max(input_->sample_rate() / 50, 1);  // 20 ms per write
    const std::int64_t margin = std::int64_t{input_->sample_rate()} * ORV_MAX_AHEAD_MS / 1000;
    const std::int64_t cushion =
        std::int64_t{input_->sample_rate()} * kResumeCushion.count() / 1000;
    // Decoded audio kept in hand beyond the next piece, so a fade never waits on the input.
    const std::int64_t reserve = piece + gain_->fade_frames();

    for (;;) {
        const Command cmd = take_command();
        if (cmd.abort) {
            return;
        }
        Clock::time_point now = Clock::now();
        if (cmd.parked_until && now >= *cmd.parked_until) {
            abort();  // no prepare took it up: ends as the stop would have ended it
            return;
        }
        if (cmd.adopt) {
            take_adoption(*cmd.adopt);
        }
        if (cmd.seek) {
            move_back();
            if (!fade_out()) {
                return;
            }
            apply_seek(*cmd.seek);
            pcm_.clear();
            at_ = 0;
            input_done = false;
            continue;
        }
        if (cmd.paused && clock_.running()) {
            if (!fade_out()) {
                return;
            }
            clock_.pause(Clock::now());
        } else if (!cmd.paused && !clock_.running() && !completed_) {
            clock_.resume(now);
            gain_->fade_in();
            next_progress_ = now;
            stalled_since_ = now;  // a pause is no stall
        }
        if (cmd.paused || completed_) {
            if (!wait_until(now + kIdleWait)) {
                return;
            }
            continue;
        }
        if (!follow_speed() || !follow_device()) {
            return;
        }
        check_boundary(now);
        progress(now);
        release_now_playing(now, false);
        download_progress(now, pending_frames(), input_done);
        // After a stall, sound resumes only with a cushion in hand: a live source that comes
        // back at real-time pace would otherwise stall again at its first hiccup.
        if (buffering_ && !input_done && at_ < pcm_.size() && pending_frames() < cushion) {
            if (!fill(input_done)) {
                return;
            }
            continue;
        }
        if (!input_done && pending_frames() < reserve + crossfade_hold()) {
            pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<std::ptrdiff_t>(at_));
            at_ = 0;
            if (!fill(input_done)) {
                return;
            }
            continue;
        }
        if (pending_frames() == 0) {
            // Finished: the speed filter gives up what it holds, what was written plays
            // out, then the end is reported once.
            if (!tempo_drained_) {
                tempo_drained_ = true;
                tempo_out_.clear();
                tempo_->drain(tempo_out_);
                if (!write_out(tempo_out_.data(), static_cast<int>(tempo_out_.size() / channels),
                               0)) {
                    return;
                }
                continue;
            }
            const auto left = clock_.until_room(now, 0, 0);
            if (left.count() > 0) {
                if (!wait_until(std::min(now + left, next_progress_))) {
                    return;
                }
                continue;
            }
            completed_ = true;
            release_now_playing(now, true);
            clock_.pause(now);
            if (buffering_) {
                buffering_ = false;
                post(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END);
            }
            post(ORV_EVENT_COMPLETED);
            continue;
        }
        const int count = static_cast<int>(std::min<std::int64_t>(piece, pending_frames()));
        const auto wait = clock_.until_room(now, out_frames(count), margin);
        if (wait.count() > 0) {
            if (!wait_until(std::min(now + wait, next_progress_))) {
                return;
            }
            continue;
        }
        if (!write_piece(pcm_.data() + at_, count)) {
            return;
        }
        at_ += static_cast<std::size_t>(count) * channels;
    }
}

std::int64_t Session::pending_frames() const {
    return static_cast<std::int64_t>(pcm_.size() - at_) / input_->channels();
}

std::int64_t Session::out_frames(std::int64_t frames) const {
    return tempo_->passthrough()
               ? frames
               : static_cast<std::int64_t>(static_cast<float>(frames) / tempo_->speed());
}

// Going through the filter or around it changes the waveform's phase, so that switch is
// faded; between two speeds the filter itself moves on smoothly.
bool Session::follow_speed() {
    const float want = live_.load() ? 1.0f : settings_.speed.load();
    if (want == tempo_->speed() || want == refused_speed_) {
        return true;
    }
    const bool leaving = want == 1.0f;
    const bool entering = tempo_->passthrough();
    tempo_out_.clear();
    if (leaving) {
        // What the filter holds is the audio due next: it carries the fade.
        tempo_->drain(tempo_out_);
        const int frames = static_cast<int>(tempo_out_.size()) / input_->channels();
        if (frames > 0) {
            gain_->fade_out(frames);
            if (!write_out(tempo_out_.data(), frames, 0)) {
                return false;
            }
            tempo_out_.clear();
        } else if (!fade_out()) {
            return false;
        }
    } else if (entering && !fade_out()) {
        return false;
    }
    if (!tempo_->set_speed(want, tempo_out_)) {
        refused_speed_ = want;  // warned once; not tried again for this source
    }
    if (leaving || entering) {
        gain_->fade_in();
    }
    return true;
}

bool Session::fade_out() {
    if (!clock_.running() || gain_->silent()) {
        return true;
    }
    const int channels = input_->channels();
    const float speed = tempo_->passthrough() ? 1.0f : tempo_->speed();
    const auto media = static_cast<int>(std::min<std::int64_t>(
        pending_frames(),
        static_cast<std::int64_t>(static_cast<float>(gain_->fade_frames()) * speed)));
    const std::int16_t *from = pcm_.data() + at_;
    at_ += static_cast<std::size_t>(media) * channels;
    if (tempo_->passthrough()) {
        gain_->fade_out(media);
        return write_out(from, media, media);
    }
    tempo_out_.clear();
    tempo_->process(from, media, tempo_out_);
    const int frames = static_cast<int>(tempo_out_.size()) / channels;
    gain_->fade_out(frames);
    return write_out(tempo_out_.data(), frames, media);
}

void Session::queue_now_playing(std::int64_t at_media) {
    for (NowPlaying &now : input_->take_now_playing()) {
        if (now != last_now_playing_) {
            last_now_playing_ = now;
            now_playing_.emplace_back(at_media, std::move(now));
        }
    }
}

void Session::release_now_playing(Clock::time_point now, bool all) {
    const std::int64_t heard = timeline_.media_at(clock_.played(now));
    while (!now_playing_.empty() && (all || now_playing_.front().first <= heard)) {
        events_.post(generation_, std::move(now_playing_.front().second));
        now_playing_.pop_front();
    }
}

bool Session::open_output() {
    device_serial_ = settings_.audio_device.serial();
    output_ = PcmOutput::open(input_->sample_rate(), input_->channels(),
                              settings_.audio_device.name(), settings_.audio_device.role());
    if (!output_) {
        post(ORV_EVENT_ERROR, ORV_ERROR_AUDIO_DEVICE, 0);
        return false;
    }
    return true;
}

// What was written to the old device plays out behind a fade before it closes (one
// device may stand behind both names), so nothing is skipped; the clock does not count
// the gap, so the position goes on from where the sound stopped.
bool Session::follow_device() {
    if (settings_.audio_device.serial() == device_serial_) {
        return true;
    }
    if (!fade_out()) {
        return false;
    }
    for (auto left = clock_.until_room(Clock::now(), 0, 0); left.count() > 0;
         left = clock_.until_room(Clock::now(), 0, 0)) {
        if (!wait_until(Clock::now() + left)) {
            return false;
        }
    }
    output_.reset();
    if (!open_output()) {
        return false;
    }
    gain_->fade_in();
    return true;
}

void Session::finish_output() {
    if (!output_ || completed_ || !clock_.running() || gain_->silent()) {
        return;
    }
    fade_out();
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        clock_.until_room(Clock::now(), 0, 0));
    std::this_thread::sleep_for(std::min<std::chrono::microseconds>(left, kPlayOutLimit));
}

// Reads the next PCM; false when the session is over (aborted or failed for good).
bool Session::fill(bool &input_done) {
    int detail = 0;
    int av_error = 0;
    const std::int64_t decoded = timeline_.written_media() + pending_frames();
    const MediaInput::Read read = input_->read(pcm_, &detail, &av_error);
    queue_now_playing(decoded);
    switch (read) {
        case MediaInput::Read::Data:
            return true;
        case MediaInput::Read::End:
            // A live stream has no end: its end is a broken connection.
            if (is_live()) {
                return reconnect();
            }
            // The fetch resumed breaks at the byte; an end here is the source's own.
            input_done = !move_on();
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
    if (tempo_->passthrough()) {
        return write_out(frames, count, count);
    }
    tempo_out_.clear();
    tempo_->process(frames, count, tempo_out_);
    return write_out(tempo_out_.data(), static_cast<int>(tempo_out_.size()) / input_->channels(),
                     count);
}

bool Session::write_out(const std::int16_t *frames, int count, int media) {
    const Clock::time_point now = Clock::now();
    timeline_.forget_before(clock_.played(now));
    timeline_.wrote(count, media);
    if (count == 0) {
        return true;
    }
    const std::uint32_t serial = settings_.gain_serial.load();
    if (serial != gain_serial_) {
        gain_serial_ = serial;
        gain_->set_volume(settings_.gain_left.load(), settings_.gain_right.load(),
                          settings_.gain_ramp_ms.load());
    }
    const std::int16_t *data = gain_->apply(frames, count, input_->channels(), scratch_);
    const int rc = output_->write(data, count);
    if (rc < 0) {
        post(ORV_EVENT_ERROR, ORV_ERROR_OUTPUT, rc);
        return false;
    }
    clock_.wrote(Clock::now(), count);
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
        item_start_media_ = 0;
        const bool was_running = clock_.running();
        clock_.restart(Clock::now());
        timeline_.restart();
        now_playing_.clear();  // what was read ahead of the old position is not heard
        tempo_->clear();
        tempo_drained_ = false;
        clock_.pause(Clock::now());
        if (was_running || completed_) {
            clock_.resume(Clock::now());
        }
        completed_ = false;
        buffering_ = false;
        download_done_ = false;
        next_progress_ = Clock::now();
    }
    gain_->fade_in();
    post(ORV_EVENT_SEEK_COMPLETE);
}

// Goes on into the next item while what was decoded of this one still plays: its first
// sample follows this one's last in the same output, at the output's rate and channels,
// with no fade. The end of this item is told when it is heard.
bool Session::move_on() {
    if (!config_.take_next || ended_input_ || is_live()) {
        return false;
    }
    const std::int64_t fade = std::min(crossfade_hold(), pending_frames());
    std::optional<NextSource> next = config_.take_next(config_.input);
    if (!next) {
        return false;
    }
    InputOptions options = std::move(next->input);
    options.out_rate = input_->sample_rate();
    options.out_channels = input_->channels();
    auto fresh = std::make_unique<MediaInput>(&Session::on_interrupt, this);
    int av_error = 0;
    if (fresh->open(options, &av_error, std::move(next->fetch)) != 0) {
        warn("cannot open %s ahead: %s", loggable_url(options.url).c_str(),
             fresh->reason().c_str());
        return false;
    }
    boundary_media_ = timeline_.written_media() + pending_frames();
    boundary_pending_ = true;
    boundary_generation_ = generation_;
    ended_input_ = std::move(input_);
    input_ = std::move(fresh);
    next_start_media_ = boundary_media_ - mix_next(fade);
    queue_now_playing(next_start_media_);
    std::lock_guard lock(mu_);
    moved_to_ = options.url;
    return true;
}

std::int64_t Session::crossfade_hold() const {
    const std::int64_t ms = settings_.crossfade_ms.load();
    if (ms <= 0 || !config_.take_next || ended_input_ || is_live()) {
        return 0;
    }
    const std::int64_t rate = input_->sample_rate();
    const std::int64_t hold = ms * rate / 1000;
    // Held back only near a known end, so an item's start waits for no more input than
    // without the fade.
    const std::int64_t duration = duration_ms() * rate / 1000;
    const std::int64_t decoded =
        base_ms_ * rate / 1000 + timeline_.written_media() + pending_frames() - item_start_media_;
    return duration <= 0 || decoded + 2 * hold >= duration ? hold : 0;
}

std::int64_t Session::mix_next(std::int64_t frames) {
    if (frames <= 0) {
        return 0;
    }
    const int channels = input_->channels();
    std::vector<std::int16_t> head;
    int detail = 0;
    int av_error = 0;
    while (static_cast<std::int64_t>(head.size()) < frames * channels &&
           input_->read(head, &detail, &av_error) == MediaInput::Read::Data) {
    }
    // A failed read comes again at the next fill, which reports it. A next item shorter
    // than the fade is mixed whole into the ending one's last audio.
    const std::int64_t mixed = std::min(frames, static_cast<std::int64_t>(head.size()) / channels);
    const auto from = static_cast<std::ptrdiff_t>(pcm_.size() - mixed * channels);
    crossfade(pcm_.data() + from, head.data(), static_cast<int>(mixed), channels);
    pcm_.insert(pcm_.end(), head.begin() + static_cast<std::ptrdiff_t>(mixed * channels),
                head.end());
    return mixed;
}

void Session::check_boundary(Clock::time_point now) {
    if (boundary_pending_ && timeline_.media_at(clock_.played(now)) >= boundary_media_) {
        boundary_pending_ = false;
        events_.post(boundary_generation_, ORV_EVENT_COMPLETED, 0, 0);
    }
}

void Session::take_adoption(std::uint64_t generation) {
    generation_ = generation;
    ended_input_.reset();
    boundary_pending_ = false;  // the item that ended belongs to a generation left behind
    item_start_media_ = next_start_media_;
    base_ms_ = 0;
    duration_ms_.store(std::max<std::int64_t>(input_->duration_ms(), 0));
    download_done_ = false;
    next_download_ = next_progress_ = Clock::now();
    {
        std::lock_guard lock(mu_);
        moved_to_.clear();
    }
    post(ORV_EVENT_PREPARED);
}

void Session::move_back() {
    if (!ended_input_) {
        return;
    }
    input_ = std::move(ended_input_);
    boundary_pending_ = false;
    std::lock_guard lock(mu_);
    moved_to_.clear();
}

void Session::progress(Clock::time_point now) {
    if (now < next_progress_ || buffering_) {
        return;
    }
    next_progress_ = now + kProgressEvery;
    // Between the end of an item and its successor's adoption no item is playing.
    if (ended_input_ && !boundary_pending_) {
        return;
    }
    const std::int64_t duration = duration_ms();
    // A duration past what the event carries is as good as unknown: no position is told
    // rather than one that wraps (and reads as the end).
    if (duration <= 0 || duration > std::numeric_limits<int>::max()) {
        return;
    }
    const std::int64_t heard = timeline_.media_at(clock_.played(now));
    const std::int64_t played =
        std::max<std::int64_t>(heard - item_start_media_, 0) * 1000 / input_->sample_rate();
    const std::int64_t position = std::clamp<std::int64_t>(base_ms_ + played, 0, duration);
    post(ORV_EVENT_POSITION, static_cast<int>(position), static_cast<int>(duration));
}

// A sized source reports bytes fetched and its size until all of it is fetched (that last
// report included); one of unknown size reports the ms of audio decoded ahead of the play
// position and the duration (0 when unknown).
void Session::download_progress(Clock::time_point now, std::int64_t pending_frames,
                                bool input_done) {
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    if (download_done_ || ended_input_ || (now < next_download_ && !input_done)) {
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
