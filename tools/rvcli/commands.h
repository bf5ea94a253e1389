// The commands of rvcli. Each source file offers its commands as a table; main
// joins the tables, parses the arguments against each row and runs it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "session.h"

namespace rvcli {

// A mistake in the command line: reported with the command's usage, status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> flags;  // "--page" -> "2"

    // The positional argument `index` as a whole number; a UsageError naming
    // `what` when it is not one.
    int64_t number(size_t index, const char *what) const;
    // The flag's value as a number, or `fallback` when absent.
    int64_t flag_number(const std::string &flag, int64_t fallback) const;
};

// The run's options and its session, started on first use.
struct Context {
    Options options;
    Session &session();

  private:
    std::unique_ptr<Session> session_;
};

struct Command {
    const char *name;
    const char *usage;    // arguments after the name, e.g. "ALBUM_ID [--page N]"
    const char *summary;  // one line for the command list and --help
    size_t min_args, max_args;
    std::vector<std::string> value_flags;  // flags that take a value
    int (*run)(Context &context, const Args &args);
};

std::vector<Command> data_commands();
std::vector<Command> auth_commands();
std::vector<Command> play_commands();
std::vector<Command> demo_commands();
std::vector<Command> download_commands();

int64_t parse_number(const std::string &text, const char *what);

}  // namespace rvcli
