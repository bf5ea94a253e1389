#include "player/notification_recorder.h"

#include <algorithm>
#include <utility>

#include "player/player_manager.h"

namespace rv::test {

std::mutex Notifications::mutex_;
std::vector<std::string> Notifications::lines_;

namespace {

template <class... Args>
std::string line(const char *name, Args... args) {
    std::string out = name;
    ((out += " " + std::to_string(args)), ...);
    return out;
}

}  // namespace

Notifications::Notifications() {
    take();
#define RV_RECORD_SLOT(Name, params, args) \
    register_cb_on##Name([] params { Notifications::add(line(#Name RV_RECORD_ARGS args)); });
#define RV_RECORD_ARGS(...) __VA_OPT__(, ) __VA_ARGS__
    RV_PLAYER_CB_SLOTS(RV_RECORD_SLOT)
#undef RV_RECORD_ARGS
#undef RV_RECORD_SLOT
}

Notifications::~Notifications() {
    unregister_cb_player_status();
}

void Notifications::add(std::string text) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(text));
}

std::vector<std::string> Notifications::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}

int Notifications::count(const std::string &text) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(lines_.begin(), lines_.end(), text));
}

}  // namespace rv::test
