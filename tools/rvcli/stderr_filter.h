// Standard error passed through a filter while it lives: the audio library's
// own chatter (one "ALSA lib" line per failed device probe) is dropped and a
// warning the engine repeats for every item is shown once. rvcli's own
// messages and everything else go through unchanged. Without a sound card a
// play then shows the engine's one warning instead of a screenful per item.
//
// Threads: one reader thread; build and destroy on the main thread, the
// destructor only after everything that writes to standard error has stopped
// (it restores the descriptor and drains the rest).
#pragma once

#include <thread>

namespace rvcli {

class StderrFilter {
  public:
    StderrFilter();
    ~StderrFilter();
    StderrFilter(const StderrFilter &) = delete;
    StderrFilter &operator=(const StderrFilter &) = delete;

  private:
    void run();

    int original_ = -1;  // the real standard error
    int read_end_ = -1;
    std::thread thread_;
};

}  // namespace rvcli
