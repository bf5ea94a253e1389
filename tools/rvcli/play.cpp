// `rvcli play`: the SDK's player driven from the keyboard, its state on one
// line. The listener slots only queue events; the calling thread draws.
#include "play.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>

#include "commands.h"
#include "output.h"
#include "rv_error.h"
#include "screen.h"
#ifdef RVCLI_MPRIS
#include "rv_mpris.h"
#endif

namespace rvcli {
namespace {

struct Event {
    enum Kind {
        Prepared,
        Playing,
        Paused,
        Progress,
        LiveProgress,
        Error,
        End,
        Buffering,
        Buffered,
        NowPlaying
    } kind;
    int64_t a = 0, b = 0;
    std::string text;  // NowPlaying
};

// Events from the listener slots (SDK threads) to the drawing thread.
class EventQueue {
  public:
    static EventQueue &get() {
        static EventQueue queue;
        return queue;
    }
    void push(Event e) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(std::move(e));
        }
        ready_.notify_one();
    }
    // Drops what an earlier run left behind.
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    std::optional<Event> pop(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, wait, [this] { return !events_.empty(); });
        if (events_.empty()) {
            return std::nullopt;
        }
        Event e = std::move(events_.front());
        events_.pop_front();
        return e;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Event> events_;
};

void push(Event::Kind kind, int64_t a = 0, int64_t b = 0) {
    EventQueue::get().push({kind, a, b, {}});
}

// "Artist - Title", or whichever of them the station tells.
void now_playing(const char *title, const char *artist) {
    std::string text = artist;
    text += *artist != '\0' && *title != '\0' ? " - " : "";
    text += title;
    EventQueue::get().push({Event::NowPlaying, 0, 0, std::move(text)});
}

PlayerStateListener make_listener() {
    PlayerStateListener l{};
    l.OnPrepareComplete = [] { push(Event::Prepared); };
    l.OnPlaying = [] { push(Event::Playing); };
    l.OnPaused = [] { push(Event::Paused); };
    l.OnProgress = [](int32_t kind, int64_t position, int64_t duration) {
        push(kind == RV_PROGRESS_LIVE ? Event::LiveProgress : Event::Progress, position, duration);
    };
    l.OnError = [](int32_t what, int32_t detail) { push(Event::Error, what, detail); };
    l.OnPlayEnd = [] { push(Event::End); };
    l.OnBufferingStart = [] { push(Event::Buffering); };
    l.OnBufferingComplete = [] { push(Event::Buffered); };
    return l;
}

// Standard input in raw mode for single keys while it lives (terminals only).
class RawInput {
  public:
    RawInput() {
        if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios raw = saved_;
            // Ctrl-C arrives as a key, so that quitting by it restores the terminal too.
            raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
        }
    }
    ~RawInput() {
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
    }
    RawInput(const RawInput &) = delete;
    RawInput &operator=(const RawInput &) = delete;

  private:
    termios saved_{};
    bool active_ = false;
};

enum class Key { None, Pause, Next, Previous, Forward, Back, Slower, Faster, Quit, Closed };

// The keys typed, one at a time. Keys typed faster than the loop takes them come
// in one read, and an arrow's escape sequence may come split over two: what is
// read is kept until each key in it has been taken.
class KeyReader {
  public:
    // One key if one is waiting; escape sequences for the arrow keys.
    Key next() {
        if (!complete() && !read_more()) {
            return closed_ ? Key::Closed : Key::None;
        }
        for (const auto &[sequence, key] :
             {std::pair{"\x1b[C", Key::Forward}, std::pair{"\x1b[D", Key::Back}}) {
            if (pending_.starts_with(sequence)) {
                pending_.erase(0, std::char_traits<char>::length(sequence));
                return key;
            }
        }
        const char c = pending_.front();
        pending_.erase(0, 1);
        switch (c) {
            case ' ':
                return Key::Pause;
            case 'n':
                return Key::Next;
            case 'p':
                return Key::Previous;
            case '[':
                return Key::Slower;
            case ']':
                return Key::Faster;
            case 'q':
            case '\x03':  // Ctrl-C
                return Key::Quit;
            default:  // another escape sequence's bytes, one by one
                return Key::None;
        }
    }

  private:
    // Whether pending_ starts with a whole key: not an escape sequence still
    // being typed.
    bool complete() const { return !pending_.empty() && pending_ != "\x1b" && pending_ != "\x1b["; }
    // Reads what is waiting; false when nothing whole can be taken yet.
    bool read_more() {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) {
            // A lone Escape, or one whose sequence never came, is no key.
            if (!pending_.empty() && ++waited_ > kEscapeWaits) {
                pending_.clear();
            }
            return false;
        }
        char buffer[64];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            closed_ = true;
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        waited_ = 0;
        return complete();
    }

    static constexpr int kEscapeWaits = 5;  // loop turns an unfinished sequence may wait
    std::string pending_;
    int waited_ = 0;
    bool closed_ = false;
};

std::string bar(int64_t position, int64_t duration, int width) {
    const int filled =
        duration > 0 ? static_cast<int>(std::min<int64_t>(width, position * width / duration)) : 0;
    std::string text = "[";
    for (int i = 0; i < width; ++i) {
        text += i < filled ? "#" : "-";
    }
    return text + "]";
}

std::string text_or(const char *s, const char *fallback) {
    return s && *s ? s : fallback;
}

// What is playing, as the play list holds it.
struct Current {
    int64_t id = 0;
    std::string title, album, begin, end;
    int64_t start_ms = 0, finish_ms = 0;  // programmes only
};

Current current_item() {
    Current c;
    if (const dao_play_item *item = rv_getCurPlayItem()) {
        c.id = item->audioId;
        c.title = text_or(item->title, text_or(item->audioName, "").c_str());
        c.album = text_or(item->albumName, "");
        c.begin = text_or(item->beginTime, "");
        c.end = text_or(item->endTime, "");
        c.start_ms = item->startTime;
        c.finish_ms = item->finishTime;
    }
    return c;
}

// What an error means to someone at a terminal.
std::string error_text(int64_t what, int64_t detail) {
    if (what == RV_ERROR_WHAT_START_FAILED) {
        const char *why =
            detail == RV_START_NOT_ON_AIR        ? "nothing is on air"
            : detail == RV_START_NO_PLAY_URL     ? "the item has no address to play"
            : detail == RV_START_UNKNOWN_TYPE    ? "no player plays this kind of resource"
            : detail == RV_START_NOTHING_TO_PLAY ? "the service listed nothing to play"
                                                 : rve_strerror(static_cast<int>(detail));
        return "cannot start (" + std::to_string(detail) + "): " + why;
    }
    static constexpr std::array<std::tuple<int, const char *, const char *>, 7> kDetails{{
        {RV_ERROR_DETAIL_NO_SOURCE, "no source", "the item has no address to play"},
        {RV_ERROR_DETAIL_OPEN, "open", "the source could not be opened or is not media"},
        {RV_ERROR_DETAIL_NO_AUDIO, "no audio", "the source has no playable audio stream"},
        {RV_ERROR_DETAIL_DECODE, "decode", "the audio could not be decoded"},
        {RV_ERROR_DETAIL_NETWORK, "network", "the input broke off and reconnecting did not help"},
        {RV_ERROR_DETAIL_OUTPUT, "output", "the audio device failed while writing"},
        {RV_ERROR_DETAIL_AUDIO_DEVICE, "audio device", "the chosen audio device cannot be opened"},
    }};
    std::string name = "unknown", meaning = "the engine gave no known reason";
    for (const auto &[code, n, m] : kDetails) {
        if (code == detail) {
            name = n;
            meaning = m;
        }
    }
    return "error " + name + " (" + std::to_string(what) + "/" + std::to_string(detail) +
           "): " + meaning;
}

// The screen of one run: event lines above, the status line (progress and what
// holds it up: buffering, an error) below them.
class Display {
  public:
    // A new item: one line naming it; the last item's status line goes, unless
    // it shows an error, which stays to be read.
    void item(const Current &c) {
        if (failed_) {
            end_status();
        } else {
            clear_status();
        }
        progress_.reset();
        note_.clear();
        now_playing_.clear();
        failed_ = false;
        title_ = c.title;
        std::string line = "playing " + std::to_string(c.id) + " " + c.title;
        if (!c.album.empty()) {
            line += " (" + c.album + ")";
        }
        if (!c.begin.empty()) {
            line += " " + c.begin + "-" + c.end;
        }
        print_line(line);
    }
    void event(const std::string &what) { print_line(what); }
    // `live_ms`: the live clock (ms since the epoch) for live programmes, else 0.
    void progress(int64_t position, int64_t duration, int64_t live_ms) {
        progress_ = Progress{position, duration, live_ms};
        draw();
    }
    void pause(bool on) {
        paused_ = on;
        if (on) {
            print_line("paused");
        }
        if (progress_) {
            draw();
        }
    }
    // A new song on the stream: a line above, and on the status line from now on.
    void now_playing(const std::string &text) {
        now_playing_ = text;
        print_line("now playing: " + text);
        draw();
    }
    void speed(float value) {
        speed_ = value;
        draw();
    }
    void buffering(bool on) {
        if (!failed_) {
            note_ = on ? "buffering…" : "";
            draw();
        }
    }
    void error(int64_t what, int64_t detail) {
        note_ = error_text(what, detail);
        failed_ = true;
        draw();
    }
    ~Display() { end_status(); }

  private:
    void draw() {
        std::string line;
        if (progress_) {
            const auto [position, duration, live_ms] = *progress_;
            line = (paused_ ? "|| " : "> ") + clock_text(position) + " / " + clock_text(duration) +
                   " " + bar(position, duration, 30);
            if (live_ms > 0) {
                line += " live " + local_time(live_ms, "%H:%M:%S") + " " + title_;
            }
        }
        if (!now_playing_.empty()) {
            line += (line.empty() ? "" : " ") + now_playing_;
        }
        if (speed_ != 1.0f) {
            char text[16];
            std::snprintf(text, sizeof text, "%s%.2fx", line.empty() ? "" : " ",
                          static_cast<double>(speed_));
            line += text;
        }
        show_status(line + (line.empty() || note_.empty() ? "" : " ") + note_);
    }

    struct Progress {
        int64_t position, duration, live_ms;
    };
    std::optional<Progress> progress_;  // none yet for this item
    std::string title_, note_, now_playing_;
    bool paused_ = false, failed_ = false;
    float speed_ = 1.0f;
};

// The bean that starts `resource`; names come from the catalogue.
std::unique_ptr<dao_play_audio_bean, decltype(&dao_play_audio_bean_del)> bean_for(
    const rv::Sdk &sdk, Resource resource, int64_t id) {
    std::unique_ptr<dao_play_audio_bean, decltype(&dao_play_audio_bean_del)> bean(
        dao_play_audio_bean_new(), dao_play_audio_bean_del);
    if (!bean) {
        throw rv::Error(RVE_NO_MEMORY, "rvcli play");
    }
    std::string name;
    switch (resource) {
        case Resource::Album:
            bean->type = RV_RESOURCE_ALBUM;
            bean->id = id;
            // Offline only a downloaded album plays, its names from the store.
            name = sdk.offline() ? std::string() : sdk.get_album_info(id).get().name;
            break;
        case Resource::Audio: {
            // An audio starts its album there, so that next and previous work.
            const rv::Audio audio = sdk.get_album_audio_info(id).get();
            bean->type = RV_RESOURCE_ALBUM;
            bean->id = audio.albumId;
            bean->audioId = id;
            name = audio.albumName;
            break;
        }
        case Resource::Radio:
            bean->type = RV_RESOURCE_SMARTCAST;
            bean->id = id;
            name = sdk.get_smartcast_info(id).get().name;
            break;
        case Resource::Broadcast:
            bean->type = RV_RESOURCE_BROADCAST;
            bean->id = id;
            name = sdk.get_broadcast_info(id).get().name;
            break;
    }
    if (resource == Resource::Album || resource == Resource::Audio) {
        bean->sortType = 1;
        bean->prePage = 1;
        bean->nextPage = 1;
    }
    bean->name = strdup(name.c_str());
    return bean;
}

int play_command(Context &c, const Args &a) {
    static constexpr std::pair<const char *, Resource> kKinds[] = {
        {"album", Resource::Album},
        {"audio", Resource::Audio},
        {"radio", Resource::Radio},
        {"broadcast", Resource::Broadcast}};
    for (const auto &[word, resource] : kKinds) {
        if (a.positional[0] == word) {
            PlayLimits limits;
            if (a.flags.contains("--seconds")) {
                limits.time = std::chrono::seconds(a.flag_number("--seconds", 0));
            }
            if (a.flags.contains("--speed")) {
                const std::string &text = a.flags.at("--speed");
                char *end = nullptr;
                limits.speed = std::strtof(text.c_str(), &end);
                if (end == text.c_str() || *end != '\0' || !(limits.speed >= RV_MIN_SPEED) ||
                    !(limits.speed <= RV_MAX_SPEED)) {
                    throw UsageError("--speed takes 0.5 to 2.0, not '" + text + "'");
                }
            }
            if (a.flags.contains("--crossfade")) {
                const int64_t ms = a.flag_number("--crossfade", 0);
                if (ms < 0 || ms > RV_MAX_CROSSFADE_MS) {
                    throw UsageError("--crossfade takes 0 to 12000 ms, not '" +
                                     a.flags.at("--crossfade") + "'");
                }
                limits.crossfade_ms = static_cast<int>(ms);
            }
            c.options.offline_ok = resource == Resource::Album;
#ifdef RVCLI_MPRIS
            // Media keys and panels see it while it plays, when a session bus is
            // there; without one rv_exportMpris logs why at debug level.
            struct OnTheBus {
                const bool on = rv_exportMpris("rvcli") == RVE_OK;
                ~OnTheBus() {
                    if (on) {
                        rv_unexportMpris();
                    }
                }
            } on_the_bus;
#endif
            return play(c.session(), resource, a.number(1, "ID"), limits);
        }
    }
    throw UsageError("play what? album, audio, radio or broadcast, not '" + a.positional[0] + "'");
}

}  // namespace

int play(const Session &session, Resource resource, int64_t id, const PlayLimits &limits) {
    auto bean = bean_for(session.sdk(), resource, id);
    static PlayerStateListener listener = make_listener();
    EventQueue::get().clear();
    setPlayerStateListener(&listener);
    setPlayerMetadataListener(&now_playing);
    struct Unlisten {
        ~Unlisten() {
            rv_stop();
            removePlayerStateListener();
            setPlayerMetadataListener(nullptr);
        }
    } unlisten;
    Display display;
    std::optional<RawInput> raw;
    if (limits.keys) {
        raw.emplace();
        if (isatty(fileno(out()))) {
            display.event(
                "keys: space pause/resume, n next, p previous, <- -> seek 10 s, [ ] speed, "
                "q or Ctrl-C quit");
        }
    }
    float speed = limits.speed;
    rv_setPlaybackSpeed(speed);
    if (limits.crossfade_ms) {
        rv_setCrossfade(*limits.crossfade_ms);
    }
    display.speed(speed);
    rv_playByAudioBean(bean.get());

    const auto started = std::chrono::steady_clock::now();
    // An end with no next item for this long ends the run. A deadline rather
    // than an optional time of the end: 32-bit ARM's GCC takes an optional
    // time_point read for one that may be uninitialised (-Werror).
    constexpr auto kIdleAfterEnd = std::chrono::seconds(4);
    constexpr auto kNoEnd = std::chrono::steady_clock::time_point::max();
    auto idle_deadline = kNoEnd;
    Current shown;
    int ended = 0;
    bool keys = limits.keys;
    KeyReader key_reader;
    int64_t position = 0;
    while (true) {
        if (limits.time && std::chrono::steady_clock::now() - started >= *limits.time) {
            break;
        }
        if (std::chrono::steady_clock::now() >= idle_deadline) {
            display.event("end of the play list");
            break;
        }
        const Key key = keys ? key_reader.next() : Key::None;
        if (key == Key::Quit) {
            break;
        }
        switch (key) {
            case Key::Pause:
                rv_switchPlayOrPause();
                break;
            case Key::Next:
                rv_playNext();
                break;
            case Key::Previous:
                rv_playPre();
                break;
            case Key::Forward:
                rv_seek(static_cast<int32_t>(position + 10000));
                break;
            case Key::Back:
                rv_seek(static_cast<int32_t>(std::max<int64_t>(position - 10000, 0)));
                break;
            case Key::Slower:
            case Key::Faster: {
                const float wanted = speed + (key == Key::Faster ? kSpeedStep : -kSpeedStep);
                const int32_t code = rv_setPlaybackSpeed(wanted);
                if (code == RVE_OK) {
                    speed = wanted;
                    display.speed(speed);
                } else if (code == RVE_LIVE_STREAM) {
                    display.event("a live stream plays at normal speed");
                }
                break;
            }
            case Key::Closed:
                keys = false;
                break;
            default:
                break;
        }
        // Events before the item poll, so that an end is told of the item that ended.
        if (const std::optional<Event> e = EventQueue::get().pop(std::chrono::milliseconds(100))) {
            switch (e->kind) {
                case Event::Playing:
                    display.pause(false);
                    idle_deadline = kNoEnd;
                    break;
                case Event::Paused:
                    display.pause(true);
                    break;
                case Event::Progress:
                    position = e->a;
                    display.progress(position, e->b, 0);
                    break;
                case Event::LiveProgress:
                    // The live clock: now and the programme's end, in ms since the epoch.
                    position = e->a - shown.start_ms;
                    display.progress(position, shown.finish_ms - shown.start_ms, e->a);
                    break;
                case Event::Error:
                    display.error(e->a, e->b);
                    if (session.offline() && e->a == RV_ERROR_WHAT_START_FAILED) {
                        print_error("offline: only a downloaded album plays");
                        return 1;  // nothing else can start without the service
                    }
                    break;
                case Event::Buffering:
                case Event::Buffered:
                    display.buffering(e->kind == Event::Buffering);
                    break;
                case Event::End:
                    display.event("ended " + std::to_string(shown.id));
                    idle_deadline = std::chrono::steady_clock::now() + kIdleAfterEnd;
                    if (limits.items > 0 && ++ended >= limits.items) {
                        return 0;
                    }
                    break;
                case Event::NowPlaying:
                    display.now_playing(e->text);
                    break;
                case Event::Prepared:
                    break;
            }
        }
        const Current now = current_item();
        if (now.id != 0 && now.id != shown.id) {
            shown = now;
            position = 0;
            idle_deadline = kNoEnd;
            display.item(shown);
        }
    }
    return 0;
}

std::vector<Command> play_commands() {
    return {{"play",
             "album|audio|radio|broadcast ID [--seconds N] [--speed X] [--crossfade MS]",
             "play with a progress line (speed 0.5 to 2.0, crossfade 0 to 12000 ms); keys: space "
             "pause/resume, n next, p previous, "
             "left/right seek 10 s, [ ] slower/faster by 0.25, q or Ctrl-C quit",
             2,
             2,
             {"--seconds", "--speed", "--crossfade"},
             play_command}};
}

}  // namespace rvcli
