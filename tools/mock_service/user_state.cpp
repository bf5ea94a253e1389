#include "user_state.h"

#include <algorithm>

namespace rvmock {

bool UserState::subscribe(const std::string &owner, const Subscription &subscription) {
    std::lock_guard lock(mutex_);
    auto &list = subscriptions_[owner];
    if (std::any_of(list.begin(), list.end(),
                    [&](const Subscription &s) { return s.id == subscription.id; })) {
        return false;
    }
    list.push_back(subscription);
    return true;
}

bool UserState::unsubscribe(const std::string &owner, int64_t id) {
    std::lock_guard lock(mutex_);
    auto &list = subscriptions_[owner];
    auto it =
        std::find_if(list.begin(), list.end(), [id](const Subscription &s) { return s.id == id; });
    if (it == list.end()) {
        return false;
    }
    list.erase(it);
    return true;
}

bool UserState::is_subscribed(const std::string &owner, int64_t id) const {
    std::lock_guard lock(mutex_);
    auto it = subscriptions_.find(owner);
    return it != subscriptions_.end() &&
           std::any_of(it->second.begin(), it->second.end(),
                       [id](const Subscription &s) { return s.id == id; });
}

std::vector<Subscription> UserState::subscriptions(const std::string &owner) const {
    std::lock_guard lock(mutex_);
    auto it = subscriptions_.find(owner);
    if (it == subscriptions_.end()) {
        return {};
    }
    return {it->second.rbegin(), it->second.rend()};
}

void UserState::save_history(const std::string &owner, const HistoryEntry &entry) {
    std::lock_guard lock(mutex_);
    auto &list = history_[owner];
    std::erase_if(list, [&](const HistoryEntry &e) { return e.radio_id == entry.radio_id; });
    list.push_back(entry);
}

std::vector<HistoryEntry> UserState::history(const std::string &owner) const {
    std::lock_guard lock(mutex_);
    auto it = history_.find(owner);
    if (it == history_.end()) {
        return {};
    }
    return {it->second.rbegin(), it->second.rend()};
}

void UserState::clear_history(const std::string &owner) {
    std::lock_guard lock(mutex_);
    history_.erase(owner);
}

}  // namespace rvmock
