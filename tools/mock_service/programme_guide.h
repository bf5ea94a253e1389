// The programme guide of a live broadcast, generated around the current time.
//
// Time is cut into slots of equal length (the fixtures' "programmeMinutes", or
// 5 seconds with short programmes); slot n runs from n * length to (n + 1) *
// length milliseconds since the epoch. A programme's id is the broadcast id
// times 10^10 plus its slot number, so any id names its broadcast and times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "json.h"

namespace rvmock {

class Fixtures;

struct Programme {
    const cJSON *broadcast = nullptr;
    int64_t slot = 0;
    int64_t id = 0;
    int64_t start_ms = 0, finish_ms = 0;
    int status = 0;  // 2 past (play back), 1 live, 3 not yet on air
};

class ProgrammeGuide {
  public:
    static constexpr int64_t kIdFactor = 10000000000;  // 10^10
    static constexpr int64_t kShortSlotMs = 5000;
    // A short guide lists this many programmes before and after the live one.
    static constexpr int64_t kShortWindow = 6;

    ProgrammeGuide(const Fixtures &fixtures, bool short_programmes);

    int64_t slot_ms() const { return slot_ms_; }
    Programme at(const cJSON *broadcast, int64_t slot, int64_t now_ms) const;
    Programme live(const cJSON *broadcast, int64_t now_ms) const;
    // The programmes of one UTC day ("YYYY-MM-DD" or "YYYYMMDD"; empty: today);
    // a short guide ignores the date and lists the window around now. Nothing
    // when the date cannot be read or the broadcast is off the air.
    std::optional<std::vector<Programme>> day(const cJSON *broadcast, const std::string &date,
                                              int64_t now_ms) const;
    std::optional<Programme> by_id(int64_t programme_id, int64_t now_ms) const;

    Json programme_json(const Programme &programme, const std::string &media_base) const;

  private:
    const Fixtures &fixtures_;
    int64_t slot_ms_;
    bool short_;
};

int64_t now_ms();
// "HH:MM:SS" of a UTC time.
std::string clock_text(int64_t ms);
// Midnight (UTC) of a "YYYY-MM-DD" or "YYYYMMDD" date, in milliseconds.
std::optional<int64_t> parse_date(const std::string &date);
std::string live_path(int64_t broadcast_id);
std::string backplay_path(int64_t programme_id);

}  // namespace rvmock
