// run_example [--short-programmes] PROGRAM [ARGS...]: starts the local
// service on free ports (its programmes a few seconds long with the option), runs
// PROGRAM in a fresh temporary directory with RV_OPEN_API_HTTP,
// RV_OPEN_API_HTTPS, RV_REPORT_HOST and RV_CA_FILE pointing at it, and exits
// with PROGRAM's status (1 when it could not run or was killed).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "mock_service.h"

extern char **environ;

int main(int argc, char **argv) {
    rvmock::Config options;
    if (argc > 1 && std::string(argv[1]) == "--short-programmes") {
        options.short_programmes = true;
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: run_example [--short-programmes] PROGRAM [ARGS...]\n");
        return 2;
    }
    rvmock::Service service(options);
    if (!service.start()) {
        return 1;
    }
    setenv("RV_OPEN_API_HTTP", service.http_url().c_str(), 1);
    setenv("RV_OPEN_API_HTTPS", service.https_url().c_str(), 1);
    setenv("RV_REPORT_HOST", service.http_url().c_str(), 1);
    setenv("RV_CA_FILE", service.ca_file().c_str(), 1);

    char dir_template[] = "/tmp/rv-example-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = dir_template;
    const std::string program = std::filesystem::absolute(argv[1]).string();
    argv[1] = const_cast<char *>(program.c_str());

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = 0;
    int status = 0;
    const int spawned = posix_spawn(&pid, argv[1], &actions, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "run_example: cannot run %s\n", argv[1]);
    } else {
        waitpid(pid, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (spawned != 0 || !WIFEXITED(status)) {
        return 1;
    }
    return WEXITSTATUS(status);
}
