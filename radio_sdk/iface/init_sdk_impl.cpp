#include "iface/init_sdk_impl.h"

#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "http/http_client.h"
#include "http/http_task.h"
#include "iface/common.h"
#include "iface/iface_api.h"
#include "orvellaplayer.h"
#include "player/bcast_data_manager.h"
#include "player/bcast_play_manager.h"
#include "player/ijk_media_player.h"
#include "player/player_album_audio_list.h"
#include "player/player_album_manager.h"
#include "player/player_manager.h"
#include "request/download_manager.h"
#include "request/helper_url.h"
#include "request/init_dao.h"
#include "request/init_req.h"
#include "request/report_outbox.h"
#include "request/service_hosts.h"
#include "rv_config.h"
#include "rv_error.h"
#include "rv_sdk.h"
#include "util/callback_dispatch.h"
#include "util/debug.h"
#include "util/util.h"

namespace {

constexpr const char *kTag = "INTERFACE";
constexpr const char *kApiTag = "IFACE_V2";

enum class Phase { Stopped, Starting, Started, Failed };

// Serialises the synchronous parts of start-up and release (records, data
// directory, transport start and stop). Not a mutex held across them: release
// makes calls into the application (refused requests, the outbox's last
// answers), which may call rv_releaseSdk or rv_initSdk on the same thread.
class LifecycleGate {
  public:
    // Waits while another thread is inside; false (nothing held) when this
    // thread already is.
    bool enter() {
        std::unique_lock lock(mutex_);
        if (busy_ && owner_ == std::this_thread::get_id()) {
            return false;
        }
        free_.wait(lock, [this] { return !busy_; });
        busy_ = true;
        owner_ = std::this_thread::get_id();
        return true;
    }
    // Enters only when no thread is inside: false (nothing held) otherwise.
    bool try_enter() {
        std::lock_guard lock(mutex_);
        if (busy_) {
            return false;
        }
        busy_ = true;
        owner_ = std::this_thread::get_id();
        return true;
    }
    void leave() {
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
            owner_ = {};
        }
        free_.notify_all();
    }

  private:
    std::mutex mutex_;  // guards busy_ and owner_; any thread, never held over a step
    std::condition_variable free_;
    bool busy_ = false;
    std::thread::id owner_;
};
LifecycleGate s_lifecycle;

// Inside the gate for its life; `entered()` false on a re-entry from a call
// the same thread's start-up or release makes into the application.
class LifecycleScope {
  public:
    LifecycleScope() : entered_(s_lifecycle.enter()) {}
    explicit LifecycleScope(std::try_to_lock_t) : entered_(s_lifecycle.try_enter()) {}
    ~LifecycleScope() {
        if (entered_) {
            s_lifecycle.leave();
        }
    }
    LifecycleScope(const LifecycleScope &) = delete;
    LifecycleScope &operator=(const LifecycleScope &) = delete;
    bool entered() const { return entered_; }

  private:
    bool entered_;
};

// Guards s_phase and s_generation, and is held while mSdkInitOk changes so that
// flag and phase move together. Taken briefly by start-up, release and the
// init outcome (on a worker); nothing else is locked under it.
std::mutex s_phase_mutex;
Phase s_phase = Phase::Stopped;
uint64_t s_generation = 0;  // one per start-up; a release makes older outcomes stale

// Held while the CA file in force is read and handed to the engine (start-up and
// rv_setCaFile, any thread, also an SDK callback's): whichever runs last hands over
// the newest value. Nothing else is locked under it.
std::mutex s_engine_ca_mutex;

void pass_ca_to_engine() {
    std::lock_guard lock(s_engine_ca_mutex);
    try {
        IjkMediaPlayer_setCaFile(http_task_default_ca().c_str());
    } catch (const std::bad_alloc &) {
        LOGE(kApiTag, "the CA file could not be handed to the engine: out of memory\n");
    }
}

// The init wrapper: the init callback and which start-up it belongs to.
struct InitCall {
    rv_result_callback callback;
    void *user_data;
    uint64_t generation;
};
using InitCallPtr = std::unique_ptr<InitCall>;

using CharPtr = std::unique_ptr<char, decltype(&free)>;
struct SdkInfoDel {
    void operator()(sdk_info *info) const { sdk_info_del(info); }
};
struct AccInfoDel {
    void operator()(acc_info *info) const { acc_info_del(info); }
};

void report(InitCallPtr call, int code) {
    if (call->callback != nullptr) {
        call->callback(code, nullptr, 0, call->user_data);
    }
}

// The outcome of the identity step: moves the phase (only for the start-up
// still current) and reports. A success that lost a race with release is 3.
void report_outcome(InitCallPtr call, int code) {
    {
        std::lock_guard lock(s_phase_mutex);
        if (s_phase == Phase::Starting && s_generation == call->generation) {
            s_phase = code == RVE_OK ? Phase::Started : Phase::Failed;
            mSdkInitOk = code == RVE_OK ? 1 : 0;
            if (code == RVE_OK) {
                rv::req::outbox::resume();  // reports carry the openid from now on
            }
        } else if (code == RVE_OK) {
            code = RVE_NOT_READY;
        }
    }
    report(std::move(call), code);
}

Phase current_phase() {
    std::lock_guard lock(s_phase_mutex);
    return s_phase;
}

void drop_records() {
    std::unique_lock lock(mSdkRecordsLock);
    sdk_info_del(std::exchange(s_sdk_info, nullptr));
    acc_info_del(std::exchange(s_acc_info, nullptr));
}

// Steps before the transport: the record's texts, the data directory, the device id.
int fill_sdk_info(sdk_info &info, const char *appid, const char *secretkey, const char *channel,
                  const char *extra, const char *packagename, const char *data_dir) {
    int code;
    if ((code = str_dup(&info.os, "linux")) != RVE_OK ||
        (code = str_dup(&info.appid, appid)) != RVE_OK ||
        (code = str_dup(&info.secretkey, secretkey)) != RVE_OK ||
        (code = str_dup(&info.channel, channel)) != RVE_OK ||
        (code = str_dup_ext(&info.extra, extra)) != RVE_OK ||
        (code = str_dup_ext(&info.packagename, packagename)) != RVE_OK ||
        (code = str_dup_ext(&info.data_dir, data_dir)) != RVE_OK ||
        (code = str_dup(&info.init_time, getTimestampString())) != RVE_OK) {
        return code;
    }

    LOGD(kTag, "start init data save directory \n");
    if (info.data_dir != nullptr) {
        LOGD(kTag, "the data save path is: %s\n", info.data_dir);
        if (!check_dir_exist(info.data_dir)) {
            create_multi_directory(info.data_dir);
        }
    } else {
        info.data_dir = getcwd(nullptr, 0);  // any length
        if (info.data_dir == nullptr) {
            return errno == ENOMEM ? RVE_NO_MEMORY : RVE_NO_ACCESS;
        }
        LOGD(kTag, "the data save path is: %s\n", info.data_dir);
    }
    if (!check_dir_access(info.data_dir, R_OK | W_OK)) {
        LOGE(kTag, "access failed: have not right to create file !\n");
        return RVE_NO_ACCESS;
    }

    LOGD(kTag, "start init device id \n");
    const std::string path = rv::identity_file_path(info.data_dir);
    CharPtr stored(get_deviceid_from_local(path.c_str()), free);
    if (stored != nullptr && stored.get()[0] != '\0') {
        LOGD(kTag, "get local device id is: %s\n", stored.get());
        info.deviceid = stored.release();
        return RVE_OK;
    }
    char made[64] = {0};
    make_deviceid(made);
    if (made[0] == '\0') {
        LOGE(kTag, "make device id failed: out of memory\n");
        return RVE_NO_MEMORY;  // an empty id would be sent and refused
    }
    LOGD(kTag, "make a new device id is: %s\n", made);
    return str_dup(&info.deviceid, made);
}

// Everything up to the identity request, under the lifecycle mutex. 0 leaves
// the SDK starting with `call` bound to this start-up.
int start_locked(InitCall &call, const char *appid, const char *secretkey, const char *channel,
                 const char *extra, const char *packagename, const char *data_dir) {
    if (current_phase() != Phase::Stopped) {
        LOGE(kTag, "the sdk has been inited already!\n");
        return RVE_ALREADY_STARTED;
    }
    std::unique_ptr<sdk_info, SdkInfoDel> info(sdk_info_new());
    if (info == nullptr) {
        LOGE(kTag, "create sdk info failed!\n");
        return RVE_NO_MEMORY;
    }
    std::unique_ptr<acc_info, AccInfoDel> acc(acc_info_new());
    if (acc == nullptr) {
        LOGE(kTag, "create acc info failed!\n");
        return RVE_NO_MEMORY;
    }
    int code = fill_sdk_info(*info, appid, secretkey, channel, extra, packagename, data_dir);
    if (code != RVE_OK) {
        return code;
    }
    // Before the transport's threads exist: it writes the environment.
    ijk_SetAudioAppName(packagename);
    {
        std::unique_lock lock(mSdkRecordsLock);
        s_sdk_info = info.release();
        s_acc_info = acc.release();
    }
    LOGD(kTag, "start init http client \n");
    code = http_client_init();
    if (code != RVE_OK) {
        drop_records();
        return code;
    }
    // Media over HTTPS is checked against the same CA as the SDK's own requests.
    pass_ca_to_engine();
    // Reports kept by an earlier run wait in the data directory.
    rv::req::outbox::open(s_sdk_info->data_dir);
    // Downloads resume only when asked again, but their store is swept now.
    rv::dl::open(s_sdk_info->data_dir);
    std::lock_guard lock(s_phase_mutex);
    s_phase = Phase::Starting;
    call.generation = ++s_generation;
    return RVE_OK;
}

// Keeps the openid in the record and, when the stored identity differs (its
// openid, or its device id: a newly made one must outlive this start), in the
// identity file. On a worker.
int store_openid(const char *openid) {
    std::string path, deviceid;
    {
        std::unique_lock lock(mSdkRecordsLock);
        if (s_sdk_info == nullptr) {
            return RVE_NO_SDK_INFO;  // released meanwhile
        }
        char *copy = strdup(openid);
        if (copy == nullptr) {
            return RVE_NO_MEMORY;
        }
        free(s_sdk_info->openid);
        s_sdk_info->openid = copy;
        path = rv::identity_file_path(s_sdk_info->data_dir);
        deviceid = s_sdk_info->deviceid;
    }
    CharPtr stored(get_openid_from_local(path.c_str()), free);
    CharPtr stored_device(get_deviceid_from_local(path.c_str()), free);
    if (stored != nullptr && strcmp(stored.get(), openid) == 0 && stored_device != nullptr &&
        deviceid == stored_device.get()) {
        return RVE_OK;
    }
    if (!rv::save_identity(path, deviceid, openid)) {
        LOGE(kTag, "save openid to local file failed !\n");
        return RVE_SAVE_FAILED;
    }
    return RVE_OK;
}

void identity_success(void *data, void *user, const char *line) {
    CharPtr openid(static_cast<char *>(data), free);
    InitCallPtr call(static_cast<InitCall *>(user));
    int code;
    if (openid == nullptr) {
        code = RVE_BAD_RESPONSE;
    } else {
        LOGD(kTag, line, openid.get());
        try {
            code = store_openid(openid.get());
        } catch (const std::bad_alloc &) {
            code = RVE_NO_MEMORY;
        }
    }
    report_outcome(std::move(call), code);
}

void _request_active_app_result(int code, void *data, int /*count*/, void *user) {
    if (code != RVE_OK) {
        LOGW(kTag, "active app failed, rve = %s\n", rve_rve2str(code));
        report_outcome(InitCallPtr(static_cast<InitCall *>(user)), code);
        return;
    }
    identity_success(data, user, "active app success, openid = %s\n");
}

void _request_init_app_result(int code, void *data, int /*count*/, void *user) {
    if (code != RVE_OK) {
        LOGW("?", "init app failed, rve = %s\n", rve_rve2str(code));
        LOGD(kTag, "init app failed, try to active app \n");
        request_active_app(_request_active_app_result, user);
        return;
    }
    identity_success(data, user, "init app success, openid = %s\n");
}

void _cb_ipa_sdk_init(int code, void *data, int count, void *user) {
    if (code != RVE_OK) {
        LOGE(kApiTag, "init sdk failed: rve = %s\n", rve_rve2str(code));
    } else {
        LOGD(kApiTag, "init sdk success\n");
    }
    rv::api::deliver(static_cast<result_callback_args *>(user), code, data, count);
}

}  // namespace

extern "C" void make_deviceid(char *out) {
    if (out == nullptr) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // Uniform below 1,000,000: redraw the few values of the last partial range.
    constexpr uint32_t kRange = 1000000;
    constexpr uint32_t kLimit = UINT32_MAX - UINT32_MAX % kRange;
    uint32_t drawn = 0;
    for (;;) {
        ssize_t n = getrandom(&drawn, sizeof drawn, 0);
        if (n == static_cast<ssize_t>(sizeof drawn) && drawn < kLimit) {
            break;
        }
        if (n < 0 && errno != EINTR) {
            drawn = static_cast<uint32_t>(now.tv_nsec) ^ static_cast<uint32_t>(getpid());
            break;  // no entropy source at all: the clock's nanoseconds
        }
    }
    char text[64];
    snprintf(text, sizeof text, "%ld%d", static_cast<long>(now.tv_sec),
             static_cast<int>(drawn % kRange));
    try {
        std::string sign = rv::signature(text);
        memcpy(out, sign.data(), sign.size());
    } catch (const std::bad_alloc &) {
        // Nothing written; the caller's zeroed buffer stays empty.
    }
}

extern "C" void ipa_sdk_init(const char *appid, const char *secretkey, const char *channel,
                             const char *extra, const char *packagename, const char *data_dir,
                             rv_result_callback callback, void *user_data) {
    InitCallPtr call;
    try {
        call = std::make_unique<InitCall>(InitCall{callback, user_data, 0});
    } catch (const std::bad_alloc &) {
        if (callback != nullptr) {
            callback(RVE_NO_MEMORY, nullptr, 0, user_data);
        }
        return;
    }
    if (!check_net_is_ok()) {
        LOGW(kTag, "network maybe unreachable!\n");
    }
    int code;
    {
        const LifecycleScope scope;
        if (!scope.entered()) {
            LOGE(kTag, "the sdk is being released on this thread!\n");
            report(std::move(call), RVE_NOT_READY);
            return;
        }
        try {
            code = start_locked(*call, appid, secretkey, channel, extra, packagename, data_dir);
        } catch (const std::bad_alloc &) {
            drop_records();
            code = RVE_NO_MEMORY;
        }
        // Under the lifecycle mutex, so that a release at the same time never
        // destroys the player mutex while the players are being set up.
        if (code == RVE_OK) {
            LOGD(kTag, "start init player \n");
            ijk_Init();
            initPlayerManager();
            initPlayerAlbumManager();
            initPlayerAlbumAudioList();
            initBroadcastDataManager();
            initBroadcastPlayManager();
        }
    }
    if (code != RVE_OK) {
        report(std::move(call), code);
        return;
    }
    LOGD(kTag, "start init app \n");
    request_init_app(_request_init_app_result, call.release());
}

namespace {

// The release itself, inside the lifecycle gate.
void release_entered() {
    {
        std::lock_guard phase(s_phase_mutex);
        s_phase = Phase::Stopped;
        ++s_generation;
        mSdkInitOk = 0;
    }
    // What is playing is left first, so its play-end report still goes out.
    player_release_engine();
    // Downloads stop before the transport their transfers run on.
    rv::dl::close();
    // The transport next: once it has stopped no handler can touch the records.
    http_client_final();
    drop_records();
    // Then nothing may run in the players any more (the clock joined, engine
    // events over, tables and handlers removed) before their lists and the
    // player global mutex go.
    ijk_Release();
    unregister_cb_player_status();
    freeBroadcastPlayManager();
    destroyPlayerAlbumManager();
    destoryPlayerAlbumAudioList();
    freeBroadcastDataManager();
    player_reset_all();
    destroyPlayerManager();
    // Last: the players' final reports are kept too; nothing more is sent.
    rv::req::outbox::close();
}

}  // namespace

extern "C" void ipa_sdk_final(void) {
    {
        const LifecycleScope scope;
        if (!scope.entered()) {
            return;  // called back from this thread's release, which goes on
        }
        release_entered();
    }
    // Nothing reaches the application after release, also through its loop:
    // what is still queued for it is made now, each answer exactly once. Out
    // of the gate: these callbacks may start the SDK again.
    rv::dispatch::run_all();
}

bool rv::api::while_stopped(const std::function<void()> &change) {
    // In the gate: no start-up can begin between the check and the change. Never
    // waits: a start-up or release under way is not stopped yet.
    const LifecycleScope scope(std::try_to_lock);
    const Phase phase = current_phase();
    if (!scope.entered() || (phase != Phase::Stopped && phase != Phase::Failed)) {
        return false;
    }
    change();
    return true;
}

extern "C" void rv_initSdk(const char *appid, const char *secretkey, const char *channel,
                           const char *extra, const char *packagename, const char *data_dir,
                           rv_result_callback callback, void *user_data) {
    LOGD(kApiTag, "CALL API [%s] \n", "rv_initSdk");
    result_callback_args *args = result_callback_args_new(callback, user_data);
    if (args == nullptr) {
        LOGE(kApiTag, "malloc result callback args failed!\n");
        if (callback != nullptr) {
            callback(RVE_NO_MEMORY, nullptr, 0, user_data);
        }
        return;
    }
    if (appid == nullptr || secretkey == nullptr || channel == nullptr || packagename == nullptr) {
        LOGE(kApiTag, "function params failed, please check!\n");
        rv::api::deliver(args, RVE_BAD_ARGS, nullptr, 0);
        return;
    }
    if (mSdkInitOk != 0) {
        LOGE(kApiTag, "the sdk has been inited already!\n");
        rv::api::deliver(args, RVE_ALREADY_STARTED, nullptr, 0);
        return;
    }
    // The signature of the secret key and the user's tokens travel to this host.
    bool https_host = false;
    try {
        https_host =
            strncasecmp(rv::service_host(rv::Host::OpenApiHttps).c_str(), "https://", 8) == 0;
    } catch (const std::bad_alloc &) {
        rv::api::deliver(args, RVE_NO_MEMORY, nullptr, 0);
        return;
    }
    if (!https_host) {
        LOGE(kApiTag, "the HTTPS host is not an https:// URL, refused!\n");
        rv::api::deliver(args, RVE_BAD_ARGS, nullptr, 0);
        return;
    }
    ipa_sdk_init(appid, secretkey, channel, extra, packagename, data_dir, _cb_ipa_sdk_init, args);
}

extern "C" void rv_setCaFile(const char *path) {
    http_task_set_app_ca(path);
    pass_ca_to_engine();
}

extern "C" void rv_releaseSdk(void) {
    LOGD(kApiTag, "CALL API [%s] \n", "rv_releaseSdk");
    ipa_sdk_final();
}
