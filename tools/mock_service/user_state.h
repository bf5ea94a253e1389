// Subscriptions and listening history, kept per owner: a device ("device:<id>")
// or an authorised user ("user:<open uid>").
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace rvmock {

struct Subscription {
    int64_t id = 0;
    int type = 0;  // resource type: 0 album, 3 smartcast radio, 11 broadcast
    int64_t time_ms = 0;
};

struct HistoryEntry {
    int64_t radio_id = 0, audio_id = 0, played_time = 0, duration = 0, time_stamp = 0;
};

class UserState {
  public:
    // False when already subscribed.
    bool subscribe(const std::string &owner, const Subscription &subscription);
    // False when not subscribed.
    bool unsubscribe(const std::string &owner, int64_t id);
    bool is_subscribed(const std::string &owner, int64_t id) const;
    // Newest first.
    std::vector<Subscription> subscriptions(const std::string &owner) const;

    // One entry per radio (album, smartcast or broadcast): saving again replaces it.
    void save_history(const std::string &owner, const HistoryEntry &entry);
    // Most recently saved first.
    std::vector<HistoryEntry> history(const std::string &owner) const;
    void clear_history(const std::string &owner);

  private:
    mutable std::mutex mutex_;  // guards both maps (handler threads)
    std::map<std::string, std::vector<Subscription>> subscriptions_;  // oldest first
    std::map<std::string, std::vector<HistoryEntry>> history_;        // oldest first
};

}  // namespace rvmock
