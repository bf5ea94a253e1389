// The application's side of playback tests: a player-state and a broadcast
// listener whose slots record what they heard, with the thread they ran on.
#ifndef RV_TESTS_PLAYER_LISTENER_RECORDER_H
#define RV_TESTS_PLAYER_LISTENER_RECORDER_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rv_player.h"

namespace rv::test {

// One slot call: "prepared", "playing", "paused", "progress" (kind, position,
// duration), "error" (what, detail), "end", "seek", "seeked", "buffering",
// "buffered", "download" (received, total), "live" (the new item's audioId);
// from rv_addPlayerListener: "state" (rv_player_state), "item" (audioId),
// "list ended", "start failed" (what, detail).
struct Heard {
    std::string what;
    int64_t a = 0, b = 0, c = 0;
    std::thread::id thread;
};

class Ears {
  public:
    static Ears &get();
    static void add(std::string what, int64_t a = 0, int64_t b = 0, int64_t c = 0);

    // Registers both listeners (and clears what was heard) / removes them.
    void listen();
    void stop_listening();

    // Waits until `n` calls of `what` have been heard.
    bool wait_for(const std::string &what, int n = 1,
                  std::chrono::milliseconds timeout = std::chrono::seconds(30));
    std::vector<Heard> snapshot();
    int count(const std::string &what);
    void clear();

  private:
    int count_locked(const std::string &what) const;
    std::mutex mutex_;  // guards heard_ (slots run on the engine's, the caller's and other threads)
    std::condition_variable cv_;
    std::vector<Heard> heard_;
};

}  // namespace rv::test

#endif
