#include "screen.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <mutex>
#include <set>
#include <string_view>

#include "output.h"

namespace rvcli {
namespace {

struct Screen {
    // Guards the fields below; held while a whole line is written, by the main
    // thread, the SDK's log threads and the filter's reader.
    std::mutex mutex;
    std::FILE *out = stdout;
    int err = STDERR_FILENO;
    std::string status;  // the status line up on the terminal; empty when none
};

Screen &screen() {
    static Screen s;
    return s;
}

void write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n <= 0) {
            return;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

// Around a line written while the status line is up: cleared, then redrawn.
class StatusAside {
  public:
    explicit StatusAside(Screen &s) : s_(s) {
        if (!s_.status.empty()) {
            std::fputs("\r\x1b[K", s_.out);
            std::fflush(s_.out);
        }
    }
    ~StatusAside() {
        if (!s_.status.empty()) {
            std::fprintf(s_.out, "\r%s\x1b[K", s_.status.c_str());
        }
        std::fflush(s_.out);
    }
    StatusAside(const StatusAside &) = delete;
    StatusAside &operator=(const StatusAside &) = delete;

  private:
    Screen &s_;
};

// The PCM sink's own lines (on standard output) and ALSA's (on standard error).
bool chatter(std::string_view line) {
    static constexpr std::array<std::string_view, 10> kPrefixes{
        "ALSA lib ",         "SDL_Linux_",          " SDL_Linux_",
        "Error: SDL_Linux_", "unable to open pcm ", "unable to set hw parameters",
        "min_buffer_size ",  "Can't recovery from", " xrun_recovery",
        "error from writei"};
    for (std::string_view p : kPrefixes) {
        if (line.starts_with(p)) {
            return true;
        }
    }
    return false;
}

// Diverts descriptor `fd` into a new pipe: `saved` keeps the original,
// `read_end` receives what is written to `fd`.
bool divert(int fd, int &saved, int &read_end) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    saved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (saved < 0 || dup2(ends[1], fd) < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        if (saved >= 0) {
            ::close(saved);
        }
        saved = -1;
        return false;
    }
    ::close(ends[1]);
    read_end = ends[0];
    return true;
}

// Takes the status line down, leaving `ending` on the terminal.
void take_down_status(const char *ending) {
    Screen &s = screen();
    std::lock_guard lock(s.mutex);
    if (!s.status.empty()) {
        std::fputs(ending, s.out);
        std::fflush(s.out);
        s.status.clear();
    }
}

}  // namespace

std::FILE *out() {
    std::lock_guard lock(screen().mutex);
    return screen().out;
}

void print_line(const std::string &text) {
    Screen &s = screen();
    std::lock_guard lock(s.mutex);
    StatusAside aside(s);
    std::fprintf(s.out, "%s\n", text.c_str());
}

void print_error(const std::string &text) {
    Screen &s = screen();
    std::lock_guard lock(s.mutex);
    StatusAside aside(s);
    write_all(s.err, text);
    if (!text.ends_with('\n')) {
        write_all(s.err, "\n");
    }
}

void show_status(const std::string &text) {
    Screen &s = screen();
    std::lock_guard lock(s.mutex);
    winsize size{};
    if (ioctl(fileno(s.out), TIOCGWINSZ, &size) == 0) {
        // Wider than the terminal, it would wrap and \r would redraw only its last row.
        s.status = size.ws_col > 1 ? fit_width(text, size.ws_col - 1u) : text;
        std::fprintf(s.out, "\r%s\x1b[K", s.status.c_str());
    } else {
        std::fprintf(s.out, "%s\n", text.c_str());
    }
    std::fflush(s.out);
}

void end_status() {
    take_down_status("\n");
}

void clear_status() {
    take_down_status("\r\x1b[K");
}

LibraryFilter::LibraryFilter() {
    std::fflush(stdout);
    std::fflush(stderr);
    const int own = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    results_.reset(own < 0 ? nullptr : fdopen(own, "w"));
    if (!results_) {
        if (own >= 0) {
            ::close(own);
        }
        return;
    }
    if (!divert(STDOUT_FILENO, saved_[0], read_end_[0])) {
        return;
    }
    if (!divert(STDERR_FILENO, saved_[1], read_end_[1])) {
        dup2(saved_[0], STDOUT_FILENO);
        ::close(saved_[0]);
        ::close(read_end_[0]);
        return;
    }
    {
        std::lock_guard lock(screen().mutex);
        screen().out = results_.get();
        screen().err = saved_[1];
    }
    thread_ = std::thread(&LibraryFilter::run, this);
}

LibraryFilter::~LibraryFilter() {
    if (!thread_.joinable()) {
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // Closes the pipes' write ends (unless a child process inherited them:
    // then the reader stops once nothing more is waiting).
    dup2(saved_[0], STDOUT_FILENO);
    dup2(saved_[1], STDERR_FILENO);
    stopping_ = true;
    thread_.join();
    {
        std::lock_guard lock(screen().mutex);
        screen().out = stdout;
        screen().err = STDERR_FILENO;
    }
    for (int fd : {saved_[0], saved_[1], read_end_[0], read_end_[1]}) {
        ::close(fd);
    }
}

void LibraryFilter::run() {
    std::set<std::string> warned;
    auto pass = [&](const std::string &line) {
        // An engine warning once: it repeats it for every item it opens.
        if (chatter(line) ||
            (line.starts_with("orvellaplayer: W") && !warned.insert(line).second)) {
            return;
        }
        print_error(line);
    };
    std::string pending[2];
    bool open[2] = {true, true};
    char buffer[4096];
    while (open[0] || open[1]) {
        pollfd fds[2] = {{open[0] ? read_end_[0] : -1, POLLIN, 0},
                         {open[1] ? read_end_[1] : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, 100);
        if (ready == 0 && stopping_) {
            break;
        }
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            const ssize_t n = ::read(read_end_[i], buffer, sizeof buffer);
            if (n <= 0) {
                open[i] = false;
                continue;
            }
            pending[i].append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending[i].find('\n')) != std::string::npos;) {
                pass(pending[i].substr(0, end + 1));
                pending[i].erase(0, end + 1);
            }
        }
    }
    for (const std::string &rest : pending) {
        if (!rest.empty()) {
            pass(rest);
        }
    }
}

}  // namespace rvcli
