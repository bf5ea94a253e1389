// The one thread that delivers player events to the registered callback, in order.
#ifndef ORV_EVENT_THREAD_H
#define ORV_EVENT_THREAD_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "now_playing.h"
#include "orvellaplayer.h"

namespace orv {

class EventThread {
  public:
    EventThread() = default;
    ~EventThread() { stop(); }
    EventThread(const EventThread &) = delete;
    EventThread &operator=(const EventThread &) = delete;

    // One callback is kept: setting either clears the other.
    void set_callback(orv_event_fn cb);
    void set_source_callback(orv_source_event_fn cb);
    void set_metadata_callback(orv_metadata_fn cb) { metadata_callback_.store(cb); }

    // Events carry the generation of the source that raised them; only those of the
    // current generation are delivered. Never blocks on the callback.
    void post(std::uint64_t generation, int what, int arg1, int arg2);
    // A now-playing change, delivered to the metadata callback in order with the events.
    void post(std::uint64_t generation, NowPlaying now);

    // Events of older generations still queued are dropped from now on.
    void set_generation(std::uint64_t generation) { generation_.store(generation); }

    // Drops what is queued and ends the thread (joined, or left to finish by itself
    // when called from the event thread).
    void stop();

  private:
    struct Event {
        std::uint64_t generation;
        int what;
        int arg1;
        int arg2;
        std::optional<NowPlaying> now;  // set for a now-playing change
    };
    void run(std::uint64_t run_id);
    void push(Event event);

    std::mutex callback_mu_;  // makes a change of the two one step
    std::atomic<orv_event_fn> callback_{nullptr};
    std::atomic<orv_source_event_fn> source_callback_{nullptr};
    std::atomic<orv_metadata_fn> metadata_callback_{nullptr};
    std::atomic<std::uint64_t> generation_{0};
    std::mutex mu_;  // protects queue_, run_id_, thread_ (posting threads, event thread, stop)
    std::condition_variable cv_;
    std::deque<Event> queue_;
    std::uint64_t run_id_ = 0;  // a thread runs while this equals the id it was started with
    std::thread thread_;        // started by the first post
};

}  // namespace orv

#endif
