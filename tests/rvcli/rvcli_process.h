// Runs rvcli as a child process (standard output and error on pipes, standard
// input on a pipe or a pseudo-terminal) and collects what it prints.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rvtest {

struct RunOptions {
    // Set in the child's environment; an empty value unsets the variable.
    std::map<std::string, std::string> env;
    // Give the child a pseudo-terminal as standard input and output (stderr stays a pipe).
    bool terminal = false;
    // Another program to run (found on PATH) in place of rvcli.
    std::string program = {};
};

class RvcliProcess {
  public:
    RvcliProcess(const std::vector<std::string> &args, const RunOptions &options = {});
    ~RvcliProcess();  // kills a child still running
    RvcliProcess(const RvcliProcess &) = delete;
    RvcliProcess &operator=(const RvcliProcess &) = delete;

    // Reads until standard output holds `text` at or after offset `from`;
    // false on timeout or exit.
    bool wait_for_output(const std::string &text, std::chrono::milliseconds timeout,
                         size_t from = 0);
    // Writes to the child's standard input.
    void send(const std::string &keys);
    // Sends `signal_number` to the child.
    void signal(int signal_number);
    // Waits for the exit; the exit status, or nullopt on timeout or a signal.
    std::optional<int> finish(std::chrono::milliseconds timeout);

    const std::string &out() const { return out_; }
    const std::string &err() const { return err_; }

  private:
    // Reads what is available for up to `wait`; false once both streams closed.
    bool pump(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int in_ = -1, out_fd_ = -1, err_fd_ = -1;
    std::string out_, err_;
};

// Runs rvcli to the end (at most 60 s).
struct Result {
    std::optional<int> status;
    std::string out, err;
};
Result run_rvcli(const std::vector<std::string> &args, const RunOptions &options = {});

}  // namespace rvtest
