#include "rvcli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string_view>

extern char **environ;

namespace rvtest {

namespace {

// `name` as execvp would find it on PATH; a name with a slash as it is.
std::string find_program(const std::string &name) {
    const char *path = std::getenv("PATH");
    if (name.find('/') != std::string::npos || path == nullptr) {
        return name;
    }
    for (std::string_view rest = path; !rest.empty();) {
        const size_t colon = rest.find(':');
        const std::string dir(rest.substr(0, colon));
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return name;
}

// This process's environment with `changes` made: an empty value unsets its name.
std::vector<std::string> environment_with(const std::map<std::string, std::string> &changes) {
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (changes.count(entry.substr(0, entry.find('='))) == 0) {
            env.push_back(entry);
        }
    }
    for (const auto &[name, value] : changes) {
        if (!value.empty()) {
            env.push_back(name + "=" + value);
        }
    }
    return env;
}

}  // namespace

RvcliProcess::RvcliProcess(const std::vector<std::string> &args, const RunOptions &options) {
    int out_pipe[2], err_pipe[2], in_pipe[2];
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    int terminal = -1;
    if (options.terminal) {
        int child_side = -1;
        if (openpty(&terminal, &child_side, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty");
        }
        out_pipe[0] = terminal;
        out_pipe[1] = child_side;
        in_pipe[0] = child_side;
        in_pipe[1] = dup(terminal);
    } else if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(in_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    // Everything the child needs is made here: between fork and exec the child of a threaded
    // process may only make async-signal-safe calls (an allocator lock another thread held
    // at the fork stays held in the child for ever).
    std::string program = find_program(options.program.empty() ? RVCLI_PATH : options.program);
    std::vector<std::string> copies = args;
    std::vector<char *> argv{program.data()};
    for (std::string &a : copies) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env_strings = environment_with(options.env);
    std::vector<char *> envp;
    for (std::string &e : env_strings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        if (options.terminal) {
            setsid();
            ioctl(in_pipe[0], TIOCSCTTY, 0);
        }
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (options.terminal) {
        close(out_pipe[1]);  // the child side
    } else {
        close(out_pipe[1]);
        close(in_pipe[0]);
    }
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    in_ = in_pipe[1];
}

RvcliProcess::~RvcliProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_fd_, err_fd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool RvcliProcess::pump(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (out_fd_ < 0 && err_fd_ < 0) {
        return false;
    }
    if (poll(fds, 2, static_cast<int>(wait.count())) <= 0) {
        return true;
    }
    std::string *sinks[2] = {&out_, &err_};
    int *fdp[2] = {&out_fd_, &err_fd_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(*fdp[i], buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<size_t>(n));
        } else {
            // End of a pipe, or EIO on a pseudo-terminal whose child is gone.
            close(*fdp[i]);
            *fdp[i] = -1;
        }
    }
    return out_fd_ >= 0 || err_fd_ >= 0;
}

bool RvcliProcess::wait_for_output(const std::string &text, std::chrono::milliseconds timeout,
                                   size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const auto found = [&] {
        return out_.size() > from && out_.find(text, from) != std::string::npos;
    };
    while (!found()) {
        if (std::chrono::steady_clock::now() >= deadline || !pump(std::chrono::milliseconds(50))) {
            return found();
        }
    }
    return true;
}

void RvcliProcess::send(const std::string &keys) {
    if (write(in_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("write to rvcli");
    }
}

void RvcliProcess::signal(int signal_number) {
    if (pid_ > 0) {
        kill(pid_, signal_number);
    }
}

std::optional<int> RvcliProcess::finish(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (true) {
        pump(std::chrono::milliseconds(20));
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            while (pump(std::chrono::milliseconds(20))) {
            }
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
    }
    if (!WIFEXITED(status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(status);
}

Result run_rvcli(const std::vector<std::string> &args, const RunOptions &options) {
    RvcliProcess p(args, options);
    Result r;
    r.status = p.finish(std::chrono::seconds(60));
    r.out = p.out();
    r.err = p.err();
    return r;
}

}  // namespace rvtest
