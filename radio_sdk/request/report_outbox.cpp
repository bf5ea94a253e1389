#include "request/report_outbox.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "http/http_task.h"
#include "request/report_req.h"
#include "request/report_store.h"
#include "rv_error.h"
#include "util/debug.h"

namespace rv::req::outbox {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char *kTag = "DATA_REPORT";
constexpr milliseconds kFirstBackoff{2000};
constexpr milliseconds kMaxBackoff{300000};
constexpr milliseconds kOutOfMemoryPause{50};

struct Entry {
    uint64_t seq;
    std::string text;
    bool stored;                  // in the file
    rv_result_callback callback;  // for the first attempt; null once called
    void *user_data;
    bool tried;  // its first attempt has ended
};

// The end of an attempt, as the transfer's callback saw it.
struct Outcome {
    uint64_t seq;
    int code;
    long retry_after_s;
};

// A callback owed to a poster, called outside the lock.
struct Owed {
    rv_result_callback callback;
    void *user_data;
    int code;
};

// Guards everything below; taken by posters, the outbox thread, transfer callbacks,
// open and close. File writes and sends happen outside it, on the outbox thread.
std::mutex s_mutex;
std::condition_variable s_wake;
bool s_open = false;
bool s_running = false;   // resume() came: the head may be sent
bool s_stopping = false;  // close() asks the thread to end
bool s_in_flight = false;
std::deque<Entry> s_queue;  // oldest first; the front is the one sent
std::vector<uint64_t> s_to_remove;
std::optional<Outcome> s_outcome;
Clock::time_point s_next_attempt;
milliseconds s_backoff = kFirstBackoff;
uint64_t s_next_seq = 1;
size_t s_bytes = 0;
report_outbox_stats s_counts{};
ReportStore s_store;  // touched by the outbox thread, and by open/close while it is not running
std::thread s_thread;

void pay(const std::vector<Owed> &owed) {
    for (const Owed &o : owed) {
        o.callback(o.code, nullptr, 0, o.user_data);
    }
}

// The first attempt's callback of `entry`, if still owed, taken from it.
std::optional<Owed> take_owed(Entry &entry, int code) {
    if (entry.callback == nullptr) {
        return std::nullopt;
    }
    return Owed{std::exchange(entry.callback, nullptr), entry.user_data, code};
}

// The same, added to `owed`; the entry keeps it when that cannot be done.
void owe(Entry &entry, int code, std::vector<Owed> &owed) {
    if (entry.callback != nullptr) {
        owed.reserve(owed.size() + 1);  // may throw: the entry keeps its callback
        owed.push_back(*take_owed(entry, code));
    }
}

void forget_locked(size_t index) {
    const Entry &entry = s_queue[index];
    s_bytes -= entry.text.size();
    if (entry.stored) {
        s_to_remove.push_back(entry.seq);
    }
    s_queue.erase(s_queue.begin() + static_cast<std::ptrdiff_t>(index));
}

void on_sent(int code, void * /*data*/, int /*count*/, void *user) {
    const auto seq = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(user));
    std::optional<Owed> owed;  // no allocation: this answer must reach its poster
    bool first = false;
    {
        std::lock_guard lock(s_mutex);
        s_outcome = Outcome{seq, code, rv::http::current_transfer().retry_after_s};
        if (!s_queue.empty() && s_queue.front().seq == seq) {
            first = !s_queue.front().tried;
            s_queue.front().tried = true;
            owed = take_owed(s_queue.front(), code);
        }
        s_wake.notify_all();
    }
    if (code != RVE_OK && first) {
        LOGW(kTag, "send report failed: %s\n", rve_rve2str(code));
    }
    if (owed) {
        owed->callback(owed->code, nullptr, 0, owed->user_data);
    }
}

// Acts on the outcome of the attempt that ended.
void settle_locked() {
    const Outcome outcome = *s_outcome;
    s_outcome.reset();
    s_in_flight = false;
    if (s_queue.empty() || s_queue.front().seq != outcome.seq) {
        return;  // dropped meanwhile
    }
    if (outcome.code == RVE_OK) {
        forget_locked(0);
        s_counts.delivered++;
        s_backoff = kFirstBackoff;
        s_next_attempt = Clock::now();
    } else if (outcome.code == RVE_NO_MEMORY) {
        // Says nothing about the link: try again soon, without backing off.
        s_next_attempt = Clock::now() + kOutOfMemoryPause;
    } else if (outcome.code == RVE_BAD_RESPONSE) {
        forget_locked(0);
        s_counts.dropped++;
        LOGW(kTag, "report refused by the report host, dropped (%zu dropped)\n", s_counts.dropped);
    } else {
        // Capped before it is multiplied: a host's Retry-After never silences the outbox
        // for longer than the backoff's own cap.
        const long retry_after_s =
            std::clamp(outcome.retry_after_s, 0L, static_cast<long>(kMaxBackoff.count() / 1000));
        const milliseconds wait = std::max(s_backoff, milliseconds(retry_after_s * 1000L));
        s_next_attempt = Clock::now() + wait;
        s_backoff = std::min(s_backoff * 2, kMaxBackoff);
        LOGW(kTag, "report kept, next attempt in %ld ms: %s\n", static_cast<long>(wait.count()),
             rve_rve2str(outcome.code));
    }
}

// Writes what the file lacks: new reports and removals. Entries are only ever taken
// from the queue's front or by a drop, both of which leave a removal for the file.
void sync_store(std::unique_lock<std::mutex> &lock) {
    std::vector<uint64_t> removals;
    removals.swap(s_to_remove);
    std::vector<ReportStore::Record> fresh;
    for (Entry &entry : s_queue) {
        if (!entry.stored) {
            fresh.push_back({entry.seq, entry.text});
            entry.stored = true;  // a removal of it from now on goes to the file
        }
    }
    lock.unlock();
    for (const ReportStore::Record &record : fresh) {
        if (s_store.is_open() && !s_store.add(record)) {
            // The file was cut back to its last whole line (or closed, with an E line).
            LOGW(kTag, "report outbox: cannot write to the file, report kept in memory only\n");
        }
    }
    for (uint64_t seq : removals) {
        s_store.remove(seq);
    }
    lock.lock();
}

bool store_behind_locked() {
    if (!s_to_remove.empty()) {
        return true;
    }
    for (const Entry &entry : s_queue) {
        if (!entry.stored) {
            return true;
        }
    }
    return false;
}

// One step of the outbox thread; the lock is held on entry and on return.
void step(std::unique_lock<std::mutex> &lock) {
    if (store_behind_locked()) {
        sync_store(lock);
    } else if (s_outcome) {
        settle_locked();
    } else if (s_running && !s_in_flight && !s_queue.empty() && Clock::now() >= s_next_attempt) {
        const Entry &head = s_queue.front();
        const std::string text = head.text;
        void *token = reinterpret_cast<void *>(static_cast<uintptr_t>(head.seq));
        s_in_flight = true;
        lock.unlock();
        request_send_report(text.c_str(), on_sent, token);
        lock.lock();
    } else if (s_running && !s_in_flight && !s_queue.empty()) {
        s_wake.wait_until(lock, s_next_attempt);
    } else {
        s_wake.wait(lock);
    }
}

void run() {
    std::unique_lock lock(s_mutex);
    while (!s_stopping) {
        try {
            step(lock);
        } catch (const std::bad_alloc &) {
            // Nothing queued is lost: the step is tried again after a pause.
            if (!lock.owns_lock()) {
                lock.lock();
            }
            s_wake.wait_for(lock, kOutOfMemoryPause);
        }
    }
}

}  // namespace

void open(const char *data_dir) {
    close();
    std::vector<ReportStore::Record> kept;
    if (data_dir != nullptr) {
        try {
            kept = s_store.open(data_dir);
        } catch (const std::bad_alloc &) {
            s_store.close();
        }
    }
    if (!s_store.is_open()) {
        LOGW(kTag, "report outbox: no file in the data directory, reports kept in memory only\n");
    } else if (!s_store.owns_directory()) {
        LOGW(kTag,
             "report outbox: another process sends this directory's reports; ours kept in %s\n",
             s_store.path().c_str());
    }
    std::lock_guard lock(s_mutex);
    s_counts = {};
    s_bytes = 0;
    s_next_seq = 1;
    try {
        for (ReportStore::Record &record : kept) {
            s_bytes += record.text.size();
            s_next_seq = std::max(s_next_seq, record.seq + 1);
            s_queue.push_back({record.seq, std::move(record.text), true, nullptr, nullptr, true});
        }
        s_thread = std::thread(run);
    } catch (const std::exception &) {
        s_queue.clear();
        s_store.close();
        return;
    }
    s_counts.waiting = s_queue.size();
    s_backoff = kFirstBackoff;
    s_next_attempt = Clock::now();
    s_open = true;
}

void resume() {
    std::lock_guard lock(s_mutex);
    s_running = true;
    s_next_attempt = Clock::now();
    s_wake.notify_all();
}

void close() {
    {
        std::lock_guard lock(s_mutex);
        if (!s_open) {
            return;
        }
        s_stopping = true;
        s_wake.notify_all();
    }
    s_thread.join();
    std::vector<Owed> owed;
    {
        std::unique_lock lock(s_mutex);
        if (s_outcome) {
            settle_locked();  // a 2xx that came in last still removes its report
        }
        sync_store(lock);
        for (Entry &entry : s_queue) {
            owe(entry, RVE_NOT_READY, owed);
        }
        s_queue.clear();
        s_open = s_running = s_stopping = s_in_flight = false;
    }
    s_store.close();
    pay(owed);
}

bool post(std::string &&event_text, rv_result_callback callback, void *user_data) {
    std::vector<Owed> owed;
    bool queued = false;
    {
        std::lock_guard lock(s_mutex);
        if (!s_open) {
            return false;
        }
        try {
            while (!s_queue.empty() && (s_queue.size() >= kOutboxReports ||
                                        s_bytes + event_text.size() > kOutboxBytes)) {
                // The oldest that is not being sent right now.
                const size_t victim = s_in_flight ? 1 : 0;
                if (victim >= s_queue.size()) {
                    break;
                }
                owe(s_queue[victim], RVE_QUEUE_FULL, owed);
                forget_locked(victim);
                s_counts.dropped++;
                LOGW(kTag, "report outbox full, the oldest report dropped (%zu dropped)\n",
                     s_counts.dropped);
            }
            const size_t size = event_text.size();
            s_queue.push_back(
                {s_next_seq, std::move(event_text), false, callback, user_data, false});
            s_next_seq++;
            s_bytes += size;
            s_counts.queued++;
            s_wake.notify_all();
            queued = true;
        } catch (const std::bad_alloc &) {
            // Answered below, outside the lock.
        }
    }
    pay(owed);
    if (!queued && callback != nullptr) {
        callback(RVE_NO_MEMORY, nullptr, 0, user_data);
    }
    return true;
}

}  // namespace rv::req::outbox

extern "C" void report_outbox_stats_get(report_outbox_stats *out) {
    using namespace rv::req::outbox;
    if (out == nullptr) {
        return;
    }
    std::lock_guard lock(s_mutex);
    *out = s_counts;
    out->waiting = s_queue.size();
}
