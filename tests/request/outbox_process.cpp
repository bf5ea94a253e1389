// One SDK process for the outbox's two-process test: starts the SDK on a data
// directory against the given service, makes `count` reports tagged `tag`, says
// "sent", then obeys its standard input: "drain" waits until its outbox is empty
// and says "drained"; "quit" (or the end of the input) releases the SDK and exits.
// Usage: outbox_process DATA_DIR BASE_URL TAG COUNT
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "request/report_dao.h"
#include "request/report_outbox.h"
#include "request/report_req.h"
#include "rv_config.h"
#include "rv_sdk.h"

namespace {

std::mutex s_mutex;
std::condition_variable s_done;
int s_init = -1;

void on_init(int code, void *, int, void *) {
    std::lock_guard lock(s_mutex);
    s_init = code;
    s_done.notify_all();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        return 2;
    }
    const std::string base = argv[2];
    rv_setServiceHosts(base.c_str(), nullptr, base.c_str());
    rv_initSdk("rv-test-app", "rv-test-secret", "test", nullptr, "org.radio.test", argv[1], on_init,
               nullptr);
    {
        std::unique_lock lock(s_mutex);
        s_done.wait(lock, [] { return s_init >= 0; });
        if (s_init != 0) {
            return 3;
        }
    }
    const int count = std::atoi(argv[4]);
    for (int i = 0; i < count; i++) {
        dao_report *report = dao_report_new();
        report->radioid = strdup(argv[3]);
        report->audioid = strdup(std::to_string(i).c_str());
        report->eventcode = strdup("101010");
        send_report(report, nullptr, nullptr);
        dao_report_del(report);
    }
    std::cout << "sent" << std::endl;
    for (std::string line; std::getline(std::cin, line) && line != "quit";) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(80);
        report_outbox_stats stats{};
        for (report_outbox_stats_get(&stats); stats.waiting > 0; report_outbox_stats_get(&stats)) {
            if (std::chrono::steady_clock::now() > end) {
                return 4;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::cout << "drained" << std::endl;
    }
    rv_releaseSdk();
    return 0;
}
