#include "mpris_bus.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>

#include "mpris_log.h"
#include "rv_error.h"

namespace rv::mpris {
namespace {

constexpr const char *kPath = "/org/mpris/MediaPlayer2";
constexpr const char *kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char *kPlayerInterface = "org.mpris.MediaPlayer2.Player";
// Volume, rate and the player's state are read this often too: with a
// dispatcher the listener's calls wait for the application's loop, and the
// volume and speed have no listener.
constexpr int kTickMs = 250;
constexpr uint64_t kCallTimeoutUs = 2'000'000;

std::string error_text(int negative_errno) {
    char buffer[128];
    return strerror_r(-negative_errno, buffer, sizeof buffer);
}

int append_metadata(sd_bus_message *m, const Track &t) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r >= 0) {
        r = sd_bus_message_append(m, "{sv}", "mpris:trackid", "o", t.id.c_str());
    }
    if (r >= 0 && t.length_us > 0) {
        r = sd_bus_message_append(m, "{sv}", "mpris:length", "x", t.length_us);
    }
    for (const auto &[key, text] :
         {std::pair{"xesam:title", &t.title}, std::pair{"xesam:album", &t.album},
          std::pair{"mpris:artUrl", &t.art}}) {
        if (r >= 0 && !text->empty()) {
            r = sd_bus_message_append(m, "{sv}", key, "s", text->c_str());
        }
    }
    return r >= 0 ? sd_bus_message_close_container(m) : r;
}

// Milliseconds until sd-bus's next deadline (a call's timeout), at most kTickMs.
int poll_timeout(sd_bus *bus) {
    uint64_t until = UINT64_MAX;
    if (bus == nullptr || sd_bus_get_timeout(bus, &until) < 0 || until == UINT64_MAX) {
        return kTickMs;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t now_us =
        static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
    return until <= now_us
               ? 0
               : static_cast<int>(std::min<uint64_t>((until - now_us + 999) / 1000, kTickMs));
}

}  // namespace

Fd::~Fd() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

const sd_bus_vtable Exporter::kRoot[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", control, 0),
    SD_BUS_METHOD("Quit", "", "", control, 0),
    SD_BUS_PROPERTY("CanQuit", "b", get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

const sd_bus_vtable Exporter::kPlayer[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Next", "", "", control, 0),
    SD_BUS_METHOD("Previous", "", "", control, 0), SD_BUS_METHOD("Pause", "", "", control, 0),
    SD_BUS_METHOD("PlayPause", "", "", control, 0), SD_BUS_METHOD("Stop", "", "", control, 0),
    SD_BUS_METHOD("Play", "", "", control, 0), SD_BUS_METHOD("Seek", "x", "", seek, 0),
    SD_BUS_METHOD("SetPosition", "ox", "", set_position, 0),
    SD_BUS_METHOD("OpenUri", "s", "", open_uri, 0), SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", get, set, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Metadata", "a{sv}", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", get, set, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    // Changes all the time: read when wanted, never announced.
    SD_BUS_PROPERTY("Position", "x", get, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("MaximumRate", "d", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanGoNext", "b", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanGoPrevious", "b", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanPlay", "b", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanPause", "b", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanSeek", "b", get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanControl", "b", get, 0, SD_BUS_VTABLE_PROPERTY_CONST), SD_BUS_VTABLE_END};

Exporter::Exporter(Key, std::string identity, Fd wake)
    : identity_(std::move(identity)), wake_(std::move(wake)), state_([this] { this->wake(); }) {}

std::unique_ptr<Exporter> Exporter::start(const std::string &name, int &code) {
    code = RVE_FAILED;
    Fd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (wake.get() < 0) {
        MPRIS_LOGD("No MPRIS: eventfd: %s \n", error_text(-errno).c_str());
        return nullptr;
    }
    auto e = std::make_unique<Exporter>(Key{}, name, std::move(wake));
    sd_bus *bus = nullptr;
    int r = sd_bus_open_user(&bus);
    e->bus_.reset(bus);
    if (r < 0) {
        MPRIS_LOGD("No MPRIS: no session bus (%s) \n", error_text(r).c_str());
        return nullptr;
    }
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    sd_bus_slot *root = nullptr, *player = nullptr;
    r = sd_bus_add_object_vtable(bus, &root, kPath, kRootInterface, kRoot, e.get());
    e->root_slot_.reset(root);
    if (r >= 0) {
        r = sd_bus_add_object_vtable(bus, &player, kPath, kPlayerInterface, kPlayer, e.get());
        e->player_slot_.reset(player);
    }
    if (r < 0) {
        MPRIS_LOGD("No MPRIS: object: %s \n", error_text(r).c_str());
        return nullptr;
    }
    if (const int listened = e->state_.listen(); listened != RVE_OK) {
        code = listened;
        return nullptr;
    }
    e->told_ = e->state_.read(e->told_, e->state_.take_events());
    const std::string bus_name = std::string(kRootInterface) + "." + name;
    // Also the first exchange with the daemon: a bus that is not there fails here.
    r = sd_bus_request_name(bus, bus_name.c_str(), 0);
    if (r < 0) {
        MPRIS_LOGD("No MPRIS: cannot take %s on the session bus (%s) \n", bus_name.c_str(),
                   error_text(r).c_str());
        return nullptr;
    }
    e->thread_ = std::thread(&Exporter::serve, e.get());
    MPRIS_LOGD("On the session bus as %s \n", bus_name.c_str());
    code = RVE_OK;
    return e;
}

Exporter::~Exporter() {
    // First, so that no listener call reaches the fd or the state while they go.
    state_.unlisten();
    stop_.store(true);
    wake();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Exporter::wake() const {
    const uint64_t one = 1;
    // Full only after 2^64 - 2 wakes unread: the thread wakes either way.
    [[maybe_unused]] const ssize_t n = write(wake_.get(), &one, sizeof one);
}

void Exporter::serve() {
    bool connected = true;
    while (!stop_.load()) {
        if (connected) {
            publish(state_.take_events());
            int r = 0;
            while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
            }
            if (r < 0) {
                MPRIS_LOGW("Session bus lost (%s): the player is off it \n", error_text(r).c_str());
                connected = false;
            }
        }
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {-1, 0, 0}};
        if (connected) {
            fds[1] = {sd_bus_get_fd(bus_.get()), static_cast<short>(sd_bus_get_events(bus_.get())),
                      0};
        }
        poll(fds, connected ? 2 : 1, connected ? poll_timeout(bus_.get()) : -1);
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(wake_.get(), &count, sizeof count);
    }
}

void Exporter::publish(bool events) {
    Props now = state_.read(told_, events);
    std::vector<const char *> names = changed(told_, now);
    told_ = std::move(now);
    if (!names.empty()) {
        names.push_back(nullptr);
        // The values are read back through get(), from told_.
        sd_bus_emit_properties_changed_strv(bus_.get(), kPath, kPlayerInterface,
                                            const_cast<char **>(names.data()));
    }
    if (const std::optional<int64_t> at = state_.take_seeked_us()) {
        sd_bus_emit_signal(bus_.get(), kPath, kPlayerInterface, "Seeked", "x", *at);
    }
}

int Exporter::control(sd_bus_message *m, void *self, sd_bus_error *) {
    Exporter &e = *static_cast<Exporter *>(self);
    const Props &p = e.told_;
    const std::string_view member = sd_bus_message_get_member(m);
    // What cannot be done now is no error: the call has no effect.
    if (member == "Play" && p.can_play) {
        rv_Play();
    } else if (member == "Pause" && p.can_pause) {
        rv_pause();
    } else if (member == "PlayPause" && p.can_pause) {
        p.status == "Playing" ? rv_pause() : rv_Play();
    } else if (member == "Stop" && p.can_play) {
        rv_stop();
    } else if (member == "Next" && p.can_next) {
        rv_playNext();
    } else if (member == "Previous" && p.can_prev) {
        rv_playPre();
    }
    return sd_bus_reply_method_return(m, "");
}

namespace {

// Moves to `us` in the item playing; past its end is the next item.
void seek_to(PlayerState &state, const Props &p, int64_t us) {
    if (p.track.length_us > 0 && us > p.track.length_us) {
        if (p.can_next) {
            rv_playNext();
        }
        return;
    }
    const int64_t ms = std::clamp<int64_t>(us / 1000, 0, INT32_MAX);
    state.seeking_to(ms);
    rv_seek(static_cast<int32_t>(ms));
}

}  // namespace

int Exporter::seek(sd_bus_message *m, void *self, sd_bus_error *) {
    Exporter &e = *static_cast<Exporter *>(self);
    int64_t offset = 0;
    const int r = sd_bus_message_read(m, "x", &offset);
    if (r < 0) {
        return r;
    }
    if (e.told_.can_seek) {
        const int64_t at = e.state_.position_us();
        // Saturating: an offset near the type's ends must not wrap.
        const int64_t to = offset > 0 && at > INT64_MAX - offset ? INT64_MAX : at + offset;
        seek_to(e.state_, e.told_, std::max<int64_t>(to, 0));
    }
    return sd_bus_reply_method_return(m, "");
}

int Exporter::set_position(sd_bus_message *m, void *self, sd_bus_error *) {
    Exporter &e = *static_cast<Exporter *>(self);
    const char *track = nullptr;
    int64_t at = 0;
    const int r = sd_bus_message_read(m, "ox", &track, &at);
    if (r < 0) {
        return r;
    }
    // A position meant for an item that is no longer current is dropped.
    if (e.told_.can_seek && e.told_.track.id == track && at >= 0 && at <= e.told_.track.length_us) {
        seek_to(e.state_, e.told_, at);
    }
    return sd_bus_reply_method_return(m, "");
}

int Exporter::open_uri(sd_bus_message *, void *, sd_bus_error *error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED,
                            "Play resources through the application");
}

int Exporter::get(sd_bus *, const char *, const char *, const char *property, sd_bus_message *reply,
                  void *self, sd_bus_error *) {
    const Exporter &e = *static_cast<const Exporter *>(self);
    const Props &p = e.told_;
    const std::string_view name = property;
    const auto boolean = [&](bool value) { return sd_bus_message_append(reply, "b", int{value}); };
    const auto number = [&](double value) { return sd_bus_message_append(reply, "d", value); };
    if (name == "Identity") {
        return sd_bus_message_append(reply, "s", e.identity_.c_str());
    } else if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes") {
        return sd_bus_message_append(reply, "as", 0);
    } else if (name == "PlaybackStatus") {
        return sd_bus_message_append(reply, "s", p.status.c_str());
    } else if (name == "Metadata") {
        return append_metadata(reply, p.track);
    } else if (name == "Position") {
        return sd_bus_message_append(reply, "x", e.state_.position_us());
    } else if (name == "Rate") {
        return number(p.rate);
    } else if (name == "MinimumRate") {
        return number(p.min_rate);
    } else if (name == "MaximumRate") {
        return number(p.max_rate);
    } else if (name == "Volume") {
        return number(p.volume);
    }
    const std::pair<std::string_view, bool> flags[] = {
        {"CanGoNext", p.can_next}, {"CanGoPrevious", p.can_prev}, {"CanPlay", p.can_play},
        {"CanPause", p.can_pause}, {"CanSeek", p.can_seek},       {"CanControl", true}};
    for (const auto &[flag, value] : flags) {
        if (name == flag) {
            return boolean(value);
        }
    }
    return boolean(false);  // CanQuit, CanRaise, HasTrackList
}

int Exporter::set(sd_bus *, const char *, const char *, const char *property, sd_bus_message *value,
                  void *self, sd_bus_error *) {
    Exporter &e = *static_cast<Exporter *>(self);
    double wanted = 0;
    const int r = sd_bus_message_read(value, "d", &wanted);
    if (r < 0) {
        return r;
    }
    if (std::isnan(wanted)) {
        return 0;
    }
    const Props &p = e.told_;
    if (std::string_view(property) == "Volume") {
        rv_setVolume(static_cast<float>(std::clamp(wanted, 0.0, 1.0)), 0);
    } else if (wanted == 0.0) {
        // Rate 0 means Pause.
        if (p.can_pause) {
            rv_pause();
        }
    } else if (wanted > 0.0 && p.min_rate < p.max_rate) {
        rv_setPlaybackSpeed(static_cast<float>(std::clamp(wanted, p.min_rate, p.max_rate)));
    }
    // A Get right behind the write reads the value taken.
    e.publish(false);
    return 0;
}

}  // namespace rv::mpris
