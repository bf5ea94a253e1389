// rvcli's screen: its results on standard output, its messages on standard
// error and one status line (the player's progress) that a terminal redraws in
// place. A line printed while the status line is up clears it first and draws
// it again below, so that the two never share a line.
//
// Below --log-level debug, a LibraryFilter also stands between the libraries
// and the screen: what they print on the process's standard output and error
// goes through a pipe, their chatter (the PCM sink's and ALSA's lines) is
// dropped, an engine warning repeated for every item is shown once and the
// rest goes to standard error (standard output carries rvcli's results only).
// With --log-level debug there is no filter: everything passes unchanged.
//
// Threads: any thread may print (one mutex orders whole lines). out() is for
// the main thread's results while no status line is up.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace rvcli {

// rvcli's results: standard output as it was when rvcli started.
std::FILE *out();
// A line on out(), clearing the status line first and redrawing it below.
void print_line(const std::string &text);
// A line on standard error (a newline added when missing), the same way.
void print_error(const std::string &text);
// The status line: drawn in place on a terminal, a line of its own otherwise.
void show_status(const std::string &text);
// Leaves the status line as drawn; what follows starts on the next line.
void end_status();
// Erases the status line from a terminal.
void clear_status();

// While it lives, standard output and error of the process are the filter's
// pipes and rvcli writes to the saved descriptors. Build and destroy it on the
// main thread, the destructor only after everything that writes to the two
// descriptors has stopped (it restores them and passes on the rest).
class LibraryFilter {
  public:
    LibraryFilter();
    ~LibraryFilter();
    LibraryFilter(const LibraryFilter &) = delete;
    LibraryFilter &operator=(const LibraryFilter &) = delete;

  private:
    void run();

    // rvcli's results: a stream of its own on the real standard output.
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> results_{nullptr, std::fclose};
    int saved_[2] = {-1, -1};     // the real standard output and error
    int read_end_[2] = {-1, -1};  // what the process writes to descriptors 1 and 2
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace rvcli
