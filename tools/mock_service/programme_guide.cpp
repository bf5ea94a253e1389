#include "programme_guide.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "fixtures.h"
#include "query.h"
#include "records.h"

namespace rvmock {

namespace {

constexpr int64_t kDayMs = 86400000;

int64_t floor_div(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string clock_text(int64_t ms) {
    time_t seconds = static_cast<time_t>(floor_div(ms, 1000));
    tm parts{};
    gmtime_r(&seconds, &parts);
    char text[16];
    strftime(text, sizeof(text), "%H:%M:%S", &parts);
    return text;
}

std::optional<int64_t> parse_date(const std::string &date) {
    std::string digits;
    for (char c : date) {
        if (c != '-') {
            digits += c;
        }
    }
    std::optional<int64_t> number = digits.size() == 8 ? parse_int(digits) : std::nullopt;
    if (!number || *number < 0) {
        return std::nullopt;
    }
    tm parts{};
    parts.tm_year = static_cast<int>(*number / 10000) - 1900;
    parts.tm_mon = static_cast<int>(*number / 100 % 100) - 1;
    parts.tm_mday = static_cast<int>(*number % 100);
    if (parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_mday > 31) {
        return std::nullopt;
    }
    return static_cast<int64_t>(timegm(&parts)) * 1000;
}

std::string live_path(int64_t broadcast_id) {
    return "/live/" + std::to_string(broadcast_id) + ".aac";
}

std::string backplay_path(int64_t programme_id) {
    return "/media/programme/" + std::to_string(programme_id) + ".aac";
}

ProgrammeGuide::ProgrammeGuide(const Fixtures &fixtures, bool short_programmes)
    : fixtures_(fixtures),
      slot_ms_(short_programmes ? kShortSlotMs
                                : std::max<int64_t>(1, fixtures.programme_minutes()) * 60000),
      short_(short_programmes) {}

Programme ProgrammeGuide::at(const cJSON *broadcast, int64_t slot, int64_t now) const {
    Programme p;
    p.broadcast = broadcast;
    p.slot = slot;
    p.id = get_int(broadcast, "broadcastId") * kIdFactor + slot;
    p.start_ms = slot * slot_ms_;
    p.finish_ms = p.start_ms + slot_ms_;
    p.status = p.finish_ms <= now ? 2 : (p.start_ms <= now ? 1 : 3);
    return p;
}

Programme ProgrammeGuide::live(const cJSON *broadcast, int64_t now) const {
    return at(broadcast, floor_div(now, slot_ms_), now);
}

std::optional<std::vector<Programme>> ProgrammeGuide::day(const cJSON *broadcast,
                                                          const std::string &date,
                                                          int64_t now) const {
    int64_t first = 0, last = 0;
    if (short_) {
        int64_t live_slot = floor_div(now, slot_ms_);
        first = live_slot - kShortWindow;
        last = live_slot + kShortWindow;
    } else {
        std::optional<int64_t> midnight =
            date.empty() ? std::optional<int64_t>(floor_div(now, kDayMs) * kDayMs)
                         : parse_date(date);
        if (!midnight) {
            return std::nullopt;
        }
        first = floor_div(*midnight, slot_ms_);
        last = floor_div(*midnight + kDayMs - 1, slot_ms_);
    }
    std::vector<Programme> programmes;
    if (get_bool(broadcast, "onAir", false)) {
        for (int64_t slot = first; slot <= last; ++slot) {
            programmes.push_back(at(broadcast, slot, now));
        }
    }
    return programmes;
}

std::optional<Programme> ProgrammeGuide::by_id(int64_t programme_id, int64_t now) const {
    const cJSON *broadcast = fixtures_.broadcast(programme_id / kIdFactor);
    if (!broadcast || programme_id < 0 || !get_bool(broadcast, "onAir", false)) {
        return std::nullopt;
    }
    return at(broadcast, programme_id % kIdFactor, now);
}

Json ProgrammeGuide::programme_json(const Programme &p, const std::string &media_base) const {
    const cJSON *b = p.broadcast;
    int64_t broadcast_id = get_int(b, "broadcastId");
    const cJSON *titles = cJSON_GetObjectItemCaseSensitive(b, "programmes");
    int count = cJSON_GetArraySize(titles);
    const cJSON *title_item =
        count > 0 ? cJSON_GetArrayItem(titles, static_cast<int>(p.slot % count)) : nullptr;
    std::string title = cJSON_IsString(title_item) ? title_item->valuestring : "";
    Json o = json_object();
    put_int(o.get(), "programId", p.id);
    put_int(o.get(), "broadcastId", broadcast_id);
    put_int(o.get(), "nextProgramId", p.id + 1);
    put_int(o.get(), "preProgramId", p.id - 1);
    put_int(o.get(), "startTime", p.start_ms);
    put_int(o.get(), "finishTime", p.finish_ms);
    put_int(o.get(), "status", p.status);
    put_int(o.get(), "isSubscribe", 0);
    put_str(o.get(), "title", title);
    put_str(o.get(), "backLiveUrl", p.status == 2 ? media_base + backplay_path(p.id) : "");
    put_str(o.get(), "playUrl", p.status == 1 ? media_base + live_path(broadcast_id) : "");
    put_str(o.get(), "comperes", get_str(b, "comperes"));
    put_str(o.get(), "beginTime", clock_text(p.start_ms));
    put_str(o.get(), "endTime", clock_text(p.finish_ms));
    put_str(o.get(), "desc", title + " on " + get_str(b, "name"));
    put_str(o.get(), "broadcastDesc", get_str(b, "desc"));
    put_str(o.get(), "broadcastName", get_str(b, "name"));
    put_str(o.get(), "broadcastImg", picture_url(media_base, get_str(b, "img")));
    return o;
}

}  // namespace rvmock
