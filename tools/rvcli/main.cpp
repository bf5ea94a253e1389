// rvcli: browse, search, log in and play with the radio SDK from a terminal.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "output.h"
#include "screen.h"
#include "util/util.h"

namespace rvcli {
namespace {

// The first line of `path`, read only from a regular file that is not a link.
std::string read_secret_file(const std::string &path) {
    char *raw = nullptr;
    if (read_data_from_file(path.c_str(), &raw) != 1) {
        throw UsageError("cannot read the secret file " + path);
    }
    std::string text(raw);
    str_free(raw);
    text.erase(std::min(text.find_first_of("\r\n"), text.size()));
    if (text.empty()) {
        throw UsageError("the secret file " + path + " is empty");
    }
    return text;
}

struct GlobalOption {
    const char *name;
    const char *help;
    void (*set)(Options &options, std::string value);
};

const GlobalOption kOptions[] = {
    {"--api-http", "URL of the open API over HTTP",
     [](Options &o, std::string v) { o.api_http = std::move(v); }},
    {"--api-https", "URL of the open API over HTTPS",
     [](Options &o, std::string v) { o.api_https = std::move(v); }},
    {"--report", "URL of the report host",
     [](Options &o, std::string v) { o.report = std::move(v); }},
    {"--ca-file", "CA bundle that signs the service's certificate",
     [](Options &o, std::string v) { o.ca_file = std::move(v); }},
    {"--data-dir", "directory of the SDK's files and the saved login",
     [](Options &o, std::string v) { o.data_dir = std::move(v); }},
    {"--appid", "application id (default rv-test-app)",
     [](Options &o, std::string v) { o.appid = std::move(v); }},
    {"--secret",
     "application secret key (default: $RV_SECRET, else rv-test-secret); seen by every "
     "user in the process list: prefer RV_SECRET or --secret-file",
     [](Options &o, std::string v) { o.secret = std::move(v); }},
    {"--secret-file", "file whose first line is the application secret key",
     [](Options &o, std::string v) { o.secret = read_secret_file(v); }},
    {"--channel", "distribution channel (default rvcli)",
     [](Options &o, std::string v) { o.channel = std::move(v); }},
    {"--package", "package name (default org.radio.rvcli)",
     [](Options &o, std::string v) { o.package = std::move(v); }},
    {"--audio-device", "ALSA PCM to play on (default: ALSA's default)",
     [](Options &o, std::string v) { o.audio_device = std::move(v); }},
    {"--audio-role", "media role for PipeWire's policy (default Music)",
     [](Options &o, std::string v) { o.audio_role = std::move(v); }},
    {"--log-level", "none (default), error, warning, debug or verbose",
     [](Options &o, std::string v) { o.log_level = std::move(v); }},
};

std::vector<Command> all_commands() {
    std::vector<Command> all;
    for (auto part :
         {data_commands, auth_commands, play_commands, download_commands, demo_commands}) {
        for (Command &c : part()) {
            all.push_back(std::move(c));
        }
    }
    return all;
}

// One entry of the option or command list: the name in the first columns and the
// text from `column` on, wrapped at 80 columns (a name too long for its column gets
// a line of its own). help2man makes one manual entry of each.
void print_entry(const std::string &name, const char *text, size_t column) {
    constexpr size_t kWidth = 79;
    std::string line = "  " + name;
    if (line.size() + 1 > column) {
        std::fprintf(out(), "%s\n", line.c_str());
        line.clear();
    }
    line.resize(column, ' ');
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t take = rest.size();
        if (column + take > kWidth) {
            const size_t space = rest.rfind(' ', kWidth - column);
            take = space == std::string_view::npos || space == 0 ? kWidth - column : space;
        }
        line += rest.substr(0, take);
        std::fprintf(out(), "%s\n", line.c_str());
        rest.remove_prefix(take);
        while (!rest.empty() && rest.front() == ' ') {
            rest.remove_prefix(1);
        }
        line.assign(column, ' ');
    }
}

void print_usage(const std::vector<Command> &commands) {
    std::fprintf(out(),
                 "usage: rvcli [OPTIONS] COMMAND [ARGS]\n\n"
                 "Without a host option or RV_OPEN_API_HTTP/RV_OPEN_API_HTTPS/RV_REPORT_HOST in\n"
                 "the environment, rvcli starts the bundled local service and talks to it.\n\n"
                 "options:\n");
    for (const auto &o : kOptions) {
        print_entry(o.name, o.help, 17);
    }
    print_entry("--json", "print results as JSON", 17);
    std::fprintf(out(), "\ncommands:\n");
    for (const Command &c : commands) {
        print_entry(std::string(c.name) + " " + c.usage, c.summary, 43);
    }
    std::fprintf(out(), "\n'rvcli COMMAND --help' describes one command.\n");
}

// What a result code means to someone at a terminal: the SDK's text, and the
// command that helps where there is one.
std::string explain(int code) {
    std::string text = rv_resultText(code);
    if (code == RVE_SERVER_40100) {
        text += "; log in first ('rvcli login')";
    }
    return text;
}

bool is_help(const std::string &arg) {
    return arg == "--help" || arg == "-h";
}

// Reads the global options in front of the command; returns the index of the
// command word.
int parse_globals(int argc, char **argv, Options &options) {
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (is_help(arg)) {
            return -1;
        }
        const std::string name = arg.substr(0, arg.find('='));
        const bool inline_value = name.size() < arg.size();
        auto value = [&]() -> std::string {
            if (inline_value) {
                return arg.substr(name.size() + 1);
            }
            if (i + 1 >= argc) {
                throw UsageError("option " + name + " needs a value");
            }
            return argv[++i];
        };
        const auto *option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                          [&](const GlobalOption &o) { return name == o.name; });
        if (option == std::end(kOptions)) {
            throw UsageError("unknown option " + arg);
        }
        option->set(options, value());
    }
    return i;
}

Args parse_args(const Command &command, int argc, char **argv, int first) {
    Args args;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 2 && arg.starts_with("--")) {
            bool known = false;
            for (const std::string &flag : command.value_flags) {
                if (arg == flag) {
                    if (i + 1 >= argc) {
                        throw UsageError(flag + " needs a value");
                    }
                    args.flags[flag] = argv[++i];
                    known = true;
                }
            }
            if (!known) {
                throw UsageError("unknown option " + arg);
            }
            continue;
        }
        args.positional.push_back(arg);
    }
    if (args.positional.size() < command.min_args) {
        throw UsageError("missing argument");
    }
    if (args.positional.size() > command.max_args) {
        throw UsageError("too many arguments");
    }
    return args;
}

}  // namespace

int64_t parse_number(const std::string &text, const char *what) {
    try {
        size_t used = 0;
        const long long value = std::stoll(text, &used);
        if (used == text.size()) {
            return value;
        }
    } catch (const std::exception &) {
    }
    throw UsageError(std::string(what) + " must be a whole number, not '" + text + "'");
}

int64_t Args::number(size_t index, const char *what) const {
    return parse_number(positional.at(index), what);
}

int64_t Args::flag_number(const std::string &flag, int64_t fallback) const {
    auto it = flags.find(flag);
    return it == flags.end() ? fallback : parse_number(it->second, flag.c_str());
}

Session &Context::session() {
    if (!session_) {
        session_ = std::make_unique<Session>(options);
    }
    return *session_;
}

int run(int argc, char **argv) {
    const std::vector<Command> commands = all_commands();
    Options options;
    if (const char *secret = std::getenv("RV_SECRET"); secret != nullptr && *secret != '\0') {
        options.secret = secret;
    }
    const Command *command = nullptr;
    try {
        const int at = parse_globals(argc, argv, options);
        if (at < 0 || at >= argc || is_help(argv[at]) || std::strcmp(argv[at], "help") == 0) {
            print_usage(commands);
            return at >= argc ? 2 : 0;
        }
        for (const Command &c : commands) {
            if (c.name == std::string(argv[at])) {
                command = &c;
            }
        }
        if (command == nullptr) {
            throw UsageError(std::string("unknown command '") + argv[at] + "'");
        }
        for (int i = at + 1; i < argc; ++i) {
            if (is_help(argv[i])) {
                std::fprintf(out(), "usage: rvcli [OPTIONS] %s %s\n\n%s\n", command->name,
                             command->usage, command->summary);
                return 0;
            }
        }
        if (!set_log_level(options.log_level)) {
            throw UsageError("--log-level must be none, error, warning, debug or verbose");
        }
        const Args args = parse_args(*command, argc, argv, at + 1);
        // Lives longer than the context: the SDK and its engine stop first.
        std::optional<LibraryFilter> filter;
        if (options.log_level != "debug" && options.log_level != "verbose") {
            filter.emplace();
        }
        Context context;
        context.options = options;
        return command->run(context, args);
    } catch (const UsageError &e) {
        print_error(std::string("rvcli: ") + e.what());
        print_error(command != nullptr ? std::string("usage: rvcli [OPTIONS] ") + command->name +
                                             " " + command->usage
                                       : "'rvcli --help' lists the commands and options");
        return 2;
    } catch (const rv::Error &e) {
        print_error(std::string("rvcli: ") + e.what() + ": " + explain(e.code()));
        return 1;
    } catch (const std::exception &e) {
        print_error(std::string("rvcli: ") + e.what());
        return 1;
    }
}

}  // namespace rvcli

int main(int argc, char **argv) {
    return rvcli::run(argc, argv);
}
