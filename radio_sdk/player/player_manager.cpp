#include "player/player_manager.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "request/report_req.h"
#include "rv_error.h"

player_callbacks playerCb;
std::atomic<thread_mutex *> player_mutex{nullptr};

#define RV_PLAYER_CB_DEFINE(Name, params, args)                      \
    void register_cb_on##Name(player_cb_on##Name handler) {          \
        playerCb.on##Name.store(handler);                            \
    }                                                                \
    void notifyOn##Name params {                                     \
        if (player_cb_on##Name handler = playerCb.on##Name.load()) { \
            handler args;                                            \
        }                                                            \
    }
RV_PLAYER_CB_SLOTS(RV_PLAYER_CB_DEFINE)
#undef RV_PLAYER_CB_DEFINE

int unregister_cb_player_status(void) {
#define RV_PLAYER_CB_CLEAR(Name, params, args) playerCb.on##Name.store(nullptr);
    RV_PLAYER_CB_SLOTS(RV_PLAYER_CB_CLEAR)
#undef RV_PLAYER_CB_CLEAR
    return RVE_OK;
}

bool initPlayerManager(void) {
    if (player_mutex.load() != nullptr) {
        return true;
    }
    thread_mutex *made = thread_mutex_new();
    thread_mutex *expected = nullptr;
    if (made != nullptr && !player_mutex.compare_exchange_strong(expected, made)) {
        thread_mutex_del(made);  // another start-up was first
    }
    return player_mutex.load() != nullptr;
}

void destroyPlayerManager(void) {
    thread_mutex_del(player_mutex.exchange(nullptr));
}

namespace {

int with_mutex(int (*thread_mutex::*op)(thread_mutex *)) {
    thread_mutex *m = player_mutex.load();
    return m != nullptr ? (m->*op)(m) : RVE_NOT_READY;
}

}  // namespace

int player_global_mutex_lock(void) {
    return with_mutex(&thread_mutex::lock);
}

int player_global_mutex_try_lock(void) {
    return with_mutex(&thread_mutex::try_lock);
}

int player_global_mutex_unlock(void) {
    return with_mutex(&thread_mutex::unlock);
}

void send_item_report(const dao_play_item *item, std::initializer_list<ReportField> fields) {
    try {
        const std::string radio = std::to_string(item->albumId);
        const std::string audio = std::to_string(item->audioId);
        std::unique_ptr<dao_report, decltype(&dao_report_del)> report(dao_report_new(),
                                                                      dao_report_del);
        if (!report) {
            return;
        }
        report->radioid = strdup(radio.c_str());
        report->audioid = strdup(audio.c_str());
        if (report->radioid == nullptr || report->audioid == nullptr) {
            return;
        }
        for (const ReportField &field : fields) {
            if (field.text != nullptr &&
                (report.get()->*field.member = strdup(field.text)) == nullptr) {
                return;
            }
        }
        send_report(report.get(), nullptr, nullptr);
    } catch (const std::bad_alloc &) {
    }
}
