// Every report received on "/c.gif", and every open-API request, kept in
// arrival order for tests.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "json.h"
#include "mock_service.h"

namespace rvmock {

template <class Entry>
class ArrivalLog {
  public:
    void add(Entry entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<Entry> list() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

  private:
    mutable std::mutex mutex_;  // guards entries_ (handler threads and the test thread)
    std::vector<Entry> entries_;
};

using ReportLog = ArrivalLog<Report>;
using RequestLog = ArrivalLog<Received>;

// The last fault-free answer per open-API path.
class AnswerLog {
  public:
    void record(const std::string &path, const std::string &body) {
        std::lock_guard lock(mutex_);
        last_[path] = body;
    }
    std::string last(const std::string &path) const {
        std::lock_guard lock(mutex_);
        auto it = last_.find(path);
        return it == last_.end() ? std::string() : it->second;
    }

  private:
    mutable std::mutex mutex_;  // guards last_ (handler threads and the test thread)
    std::map<std::string, std::string> last_;
};

// {"query": ..., "signature_ok": ..., "time_ms": ..., "params": [[key, value], ...]}
Json report_to_json(const Report &report);

}  // namespace rvmock
