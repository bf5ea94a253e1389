// What the bus shows of the player: the item and position as the player
// listener tells them, and the properties read from the SDK, compared with
// what was told last to find what changed. No D-Bus here.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rv_player.h"

namespace rv::mpris {

inline constexpr const char *kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// The item playing, as Metadata carries it.
struct Track {
    std::string id = kNoTrack;  // object path
    std::string title, album, art;
    int64_t length_us = 0;  // 0: unknown, left out of Metadata
    bool live = false;      // a live programme: no seek, rate 1
    int64_t start_ms = 0;   // live: the programme's start on the service's clock
    bool operator==(const Track &) const = default;
};

// The properties that announce their changes.
struct Props {
    std::string status = "Stopped";
    Track track;
    double rate = 1, min_rate = 1, max_rate = 1, volume = 1;
    bool can_play = false, can_pause = false, can_seek = false, can_next = false, can_prev = false;
};

// Names of the properties of `now` that differ from `told`, in the interface's
// order.
std::vector<const char *> changed(const Props &told, const Props &now);

// The player listener's side: slots on the SDK's threads store what they are
// told and call `wake`; the bus thread reads. mutex_ guards every field below it.
class PlayerState {
  public:
    explicit PlayerState(std::function<void()> wake) : wake_(std::move(wake)) {}

    // Adds the listener and takes the item playing, if any. RVE_OK or the
    // SDK's code.
    int listen();
    // Removes the listener; its calls have returned afterwards.
    void unlisten();

    // The properties now. `events`: an event came since the last call (or it
    // is the first), so the queries that log a line each (rv_hasNext …) are
    // made too; otherwise they are taken from `told`.
    Props read(const Props &told, bool events);
    // True once after any event the properties may show.
    bool take_events();
    // Position in the item, in microseconds.
    int64_t position_us() const;
    // The position to tell in Seeked, once after each seek that has settled.
    std::optional<int64_t> take_seeked_us();
    // A seek asked from the bus: Position and Seeked say `ms` at once.
    void seeking_to(int64_t ms);

  private:
    static rv_player_events events();  // the listener record
    void item(const dao_play_item *item);
    void progress(int32_t kind, int64_t position, int64_t duration);
    void seek_complete();
    void event();  // something the properties may show

    const std::function<void()> wake_;
    rv_listener_id listener_ = 0;
    mutable std::mutex mutex_;
    Track track_;
    int64_t position_ms_ = 0;
    bool events_ = true;
    std::optional<int64_t> seek_target_ms_;  // asked from the bus, not yet settled
    bool seek_settled_ = false;              // Seeked waits for the position after it
    std::optional<int64_t> seeked_ms_;       // ready to be told
};

}  // namespace rv::mpris
