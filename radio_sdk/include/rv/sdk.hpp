/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): the started SDK and its data
 * calls.
 */
#ifndef RV_SDK_HPP
#define RV_SDK_HPP

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calls.hpp"
#include "function.hpp"
#include "future.hpp"
#include "player.hpp"

namespace rv {

/* --- The SDK ----------------------------------------------------------------- */

/// What rv::Sdk starts with (rv_initSdk's arguments, and the process's settings).
struct Config {
    std::string app_id;        ///< the application's id, as the service issued it
    std::string secret_key;    ///< the application's secret key, as the service issued it
    std::string channel;       ///< the distribution channel
    std::string package_name;  ///< the application's package name
    std::optional<std::string> data_dir;  ///< the current directory when absent
    std::optional<std::string> extra;     ///< kept by the SDK, read by no request
    /// Hosts and CA bundle (rv_setServiceHosts, rv_setCaFile); absent values
    /// leave the process's current setting: the environment variables
    /// RV_OPEN_API_HTTP, RV_OPEN_API_HTTPS, RV_REPORT_HOST, RV_CA_FILE, else
    /// the bundled local service. A host must be an http:// or https:// URL
    /// (else the constructor throws rv::Error RVE_BAD_ARGS). When values take
    /// effect is rv_config.h's one rule: set by the constructor before the SDK
    /// starts, they apply to every request made after that, and the process keeps
    /// them after the rv::Sdk is gone.
    std::optional<std::string> open_api_http;
    std::optional<std::string> open_api_https;  ///< see open_api_http
    std::optional<std::string> report_host;     ///< see open_api_http
    std::optional<std::string> ca_file;         ///< see open_api_http
    /// The ALSA PCM to play on (rv_setAudioDevice; "" for "default"); absent
    /// leaves the process's setting. A refused name throws rv::Error
    /// RVE_BAD_ARGS. rv::Player::set_audio_device changes it while playing.
    std::optional<std::string> audio_device;
    /// The media role PipeWire's policy sees (rv_setAudioRole; "" for
    /// "Music"); absent leaves the process's setting. A refused role throws
    /// rv::Error RVE_BAD_ARGS.
    std::optional<std::string> audio_role;
    /// How long the constructor waits for the service's answer to start-up
    /// (assign any std::chrono::duration).
    Milliseconds start_timeout{20000};
    /// The application's loop (rv_setCallbackDispatcher): when set, every
    /// callback (data results, player listeners) is handed to it as a job to
    /// run once on the loop's thread, in order, none once the rv::Sdk is
    /// destroyed. It is called on the SDK's threads and must only queue the job
    /// (GLib: an idle source; Qt: QMetaObject::invokeMethod with a queued
    /// connection). With it, wait for futures only off the loop's thread.
    /// Build and destroy such an rv::Sdk on the loop's thread: the constructor,
    /// while it waits for the start-up's outcome, and the destructor, at the
    /// release, run the callbacks queued at that moment themselves, on their
    /// own thread (the start-up's among them; after the destructor none is left
    /// for the loop).
    Function<void(Function<void()> job)> dispatcher;
    /// No coverage: when the start-up cannot reach the service (its code is
    /// RVE_FAILED), the constructor returns instead of throwing and the SDK runs
    /// offline (offline() is true): downloaded albums play from the store with
    /// their reports kept until a later start-up reaches the service, the store is
    /// listed and pruned (rv::Downloads), and data calls fail with rv::Error
    /// RVE_NOT_READY. Reaching the service again takes a new rv::Sdk.
    bool offline_start = false;
};

namespace detail {

// Holds the application's dispatcher for the C side while an rv::Sdk lives.
class DispatcherSlot {
  public:
    DispatcherSlot() = default;
    DispatcherSlot(const DispatcherSlot &) = delete;
    DispatcherSlot &operator=(const DispatcherSlot &) = delete;
    ~DispatcherSlot() {
        if (post_ && rv_setCallbackDispatcher(nullptr, nullptr) != RVE_OK) {
            // Another thread's start-up won after install() and runs on it: freed
            // only once a later install has replaced it.
            Lock lock(retired_mutex());
            retired() = std::move(post_);
        }
    }
    // Installs `post`; throws rv::Error RVE_ALREADY_STARTED while an SDK is started.
    void install(Function<void(Function<void()>)> post) {
        auto box = Box<Function<void(Function<void()>)>>::make(std::move(post));
        if (const int code = rv_setCallbackDispatcher(&DispatcherSlot::post, box.get());
            code != RVE_OK) {
            throw Error(code, "rv_setCallbackDispatcher");
        }
        post_ = std::move(box);
        Lock lock(retired_mutex());
        retired() = {};  // no longer registered
    }

  private:
    static void post(void (*run)(void *), void *arg, void *user) noexcept {
        try {
            (*static_cast<Function<void(Function<void()>)> *>(user))(
                Function<void()>([run, arg] { run(arg); }));
        } catch (...) {
            log_dropped_exception("dispatcher");
            run(arg);  // made here rather than never
        }
    }
    static Box<Function<void(Function<void()>)>> &retired() {
        static Box<Function<void(Function<void()>)>> box;
        return box;
    }
    static Mutex &retired_mutex() {
        static Mutex mutex;
        return mutex;
    }
    Box<Function<void(Function<void()>)>> post_;
};

}  // namespace detail

/// The started SDK. One per process; neither copyable nor movable (hold it in a
/// std::optional or std::unique_ptr to control its lifetime).
///
/// Data calls: each method below starts one query of the service and returns
/// at once, in two forms:
///   - with a callable, which is called exactly once with either the value or
///     an rv::Error (a generic lambda, or rv::overloaded{...}). It runs on the
///     calling thread before the method returns when the call is refused (for
///     example rv::Error 3 while the SDK is stopping), otherwise on one of the
///     SDK's three worker threads, where callables of different calls may run
///     at the same time and in any order. Inside it the application may start
///     further calls; it must not block on the SDK (wait on one of its
///     futures, destroy the rv::Sdk), since that would hold a worker.
///   - without one, returning an rv::Future of the value (as std::future:
///     get(), wait(), wait_for(), valid()); get() throws the rv::Error. Wait on
///     it from the application's own threads only.
/// Every call is answered, also when the rv::Sdk is destroyed meanwhile (then
/// with rv::Error 2 or 3). Methods may be called from any thread at once.
class Sdk {
  public:
    /// Starts the SDK and waits up to config.start_timeout for its outcome.
    /// Throws rv::Error with the start-up's code: RVE_ALREADY_STARTED when an SDK is
    /// already started or starting in this process (or a dispatcher cannot be
    /// set), RVE_BAD_ARGS a missing credential, RVE_NO_ACCESS a data directory
    /// that is not readable and writable, RVE_FAILED or a server code when the
    /// service cannot be reached (unless Config::offline_start) or refuses, and the
    /// code of the failure when no answer came in time. Whatever failed has been
    /// released again (except another instance's SDK). Blocks; call it from an
    /// application thread (with Config::dispatcher, the loop's), never from an
    /// SDK callback.
    explicit Sdk(const Config &config) {
        using detail::c_str;
        if (config.open_api_http || config.open_api_https || config.report_host) {
            const int hosts =
                rv_setServiceHosts(c_str(config.open_api_http), c_str(config.open_api_https),
                                   c_str(config.report_host));
            if (hosts != RVE_OK) {
                throw Error(hosts, "rv_setServiceHosts");
            }
        }
        if (config.ca_file) {
            rv_setCaFile(config.ca_file->c_str());
        }
        if (config.audio_device) {
            if (const int code = rv_setAudioDevice(config.audio_device->c_str()); code != RVE_OK) {
                throw Error(code, "rv_setAudioDevice");
            }
        }
        if (config.audio_role) {
            if (const int code = rv_setAudioRole(config.audio_role->c_str()); code != RVE_OK) {
                throw Error(code, "rv_setAudioRole");
            }
        }
        if (config.dispatcher) {
            dispatcher_.install(config.dispatcher);
        }
        const bool pump = static_cast<bool>(config.dispatcher);
        const auto wait = detail::Ref<detail::InitWait>::make();
        rv_initSdk(config.app_id.c_str(), config.secret_key.c_str(), config.channel.c_str(),
                   c_str(config.extra), config.package_name.c_str(), c_str(config.data_dir),
                   &detail::InitWait::deliver, wait.share());
        std::optional<int> code = wait->wait_for(config.start_timeout, pump);
        if (code == RVE_OK) {
            return;
        }
        if (code == RVE_FAILED && config.offline_start) {
            offline_ = true;  // kept as the start-up left it: store, players, outbox
            return;
        }
        if (code == RVE_ALREADY_STARTED) {
            // Another start-up owns the SDK: leave it alone.
            throw Error(*code, "rv::Sdk: the SDK is already started or starting in this process");
        }
        // A failed or unfinished start-up keeps its transport until released;
        // the release also makes a late start-up report its failure.
        rv_releaseSdk();
        if (code) {
            throw Error(*code, "rv::Sdk: start-up failed", wait->service_message());
        }
        code = wait->wait_for(Milliseconds(5000), pump);
        throw Error(code.value_or(RVE_FAILED) != RVE_OK ? code.value_or(RVE_FAILED) : RVE_FAILED,
                    "rv::Sdk: start-up did not finish in time");
    }

    /// Stops the SDK: calls in flight are answered (rv::Error 2 or 3) before it
    /// returns, which it does promptly also when a server does not answer.
    /// Never call it from an SDK callback; with Config::dispatcher, call it on
    /// the loop's thread.
    ~Sdk() { rv_releaseSdk(); }

    Sdk(const Sdk &) = delete;
    Sdk &operator=(const Sdk &) = delete;

    /// The player (rv_player.h); valid while this rv::Sdk lives.
    Player player() const { return Player(); }

    /// Retries of reading calls after transient failures (rv_setRequestRetries:
    /// which calls, which failures, the waits); 0 turns them off. Applies to calls
    /// made after it returns (rv_config.h). Any thread.
    void set_request_retries(int count) const noexcept { rv_setRequestRetries(count); }
    /// How many requests may wait while the three workers are busy
    /// (rv_setRequestQueueLimit; default 30); more are refused with
    /// rv::Error RVE_QUEUE_FULL. Throws rv::Error RVE_BAD_ARGS for a limit below
    /// 1. Applies to calls made after it returns (rv_config.h). Any thread.
    void set_request_queue_limit(int limit) const {
        if (const int code = rv_setRequestQueueLimit(limit); code != RVE_OK) {
            throw Error(code, "rv_setRequestQueueLimit");
        }
    }

    /* Catalogue */

    /// Every top-level category.
    template <class... F>
    auto get_all_category(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_category>>(
            "rv_getAllCategory", rv_getAllCategory, detail::args(), std::forward<F>(on_done)...);
    }
    /// The sub-categories of `cid`.
    template <class... F>
    auto get_sub_category(int cid, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_category>>(
            "rv_getSubCategory", rv_getSubCategory, detail::args(cid), std::forward<F>(on_done)...);
    }
    /// A page of the albums of category `cid` (sorttype 2: most listened first).
    template <class... F>
    auto get_album_list(int cid, int sorttype, int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::One<dao_album_set>>(
            "rv_getAlbumList", rv_getAlbumList, detail::args(cid, sorttype, pagenum, pagesize),
            std::forward<F>(on_done)...);
    }
    /// An album's details.
    template <class... F>
    auto get_album_info(int64_t album_id, F &&...on_done) const {
        return detail::call<detail::One<dao_album_info>>("rv_getAlbumInfo", rv_getAlbumInfo,
                                                         detail::args(album_id),
                                                         std::forward<F>(on_done)...);
    }
    /// A page of an album's audios; with pagenum 0 and an audio_id of 1 or
    /// more, the page holding that audio.
    template <class... F>
    auto get_album_audio_list(int64_t album_id, int sorttype, int pagenum, int pagesize,
                              int64_t audio_id, F &&...on_done) const {
        return detail::call<detail::One<dao_audio_set>>(
            "rv_getAlbumAudioList", rv_getAlbumAudioList,
            detail::args(album_id, sorttype, pagenum, pagesize, audio_id),
            std::forward<F>(on_done)...);
    }
    /// An audio's details.
    template <class... F>
    auto get_album_audio_info(int64_t audio_id, F &&...on_done) const {
        return detail::call<detail::One<dao_audio>>("rv_getAlbumAudioInfo", rv_getAlbumAudioInfo,
                                                    detail::args(audio_id),
                                                    std::forward<F>(on_done)...);
    }
    /// A page of the top albums of list `type`.
    template <class... F>
    auto get_album_top_list(const std::string &type, int pagenum, int pagesize,
                            F &&...on_done) const {
        return detail::call<detail::One<dao_album_set>>(
            "rv_getAlbumTopList", rv_getAlbumTopList, detail::args(type.c_str(), pagenum, pagesize),
            std::forward<F>(on_done)...);
    }

    /* Smartcast radios and the operate list */

    /// A page of the operate list (featured entries).
    template <class... F>
    auto get_operate_list(int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::One<dao_operate_set>>("rv_getOperateList", rv_getOperateList,
                                                          detail::args(pagenum, pagesize),
                                                          std::forward<F>(on_done)...);
    }
    /// The smartcast categories.
    template <class... F>
    auto get_smartcast_category(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_category>>("rv_getSmartcastCategory",
                                                          rv_getSmartcastCategory, detail::args(),
                                                          std::forward<F>(on_done)...);
    }
    /// The smartcast radios of category `cid`.
    template <class... F>
    auto get_smartcast_list(int cid, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_smartcast>>("rv_getSmartcastList",
                                                           rv_getSmartcastList, detail::args(cid),
                                                           std::forward<F>(on_done)...);
    }
    /// A smartcast radio's details.
    template <class... F>
    auto get_smartcast_info(int64_t smartcast_id, F &&...on_done) const {
        return detail::call<detail::One<dao_smartcast>>("rv_getSmartcastInfo", rv_getSmartcastInfo,
                                                        detail::args(smartcast_id),
                                                        std::forward<F>(on_done)...);
    }
    /// The next batch of a radio's audios: `clock_id` "" for the first batch,
    /// else the clockId of the last audio received; empty when no more.
    template <class... F>
    auto get_smartcast_audio_list(int64_t smartcast_id, const std::string &clock_id,
                                  F &&...on_done) const {
        return detail::call<detail::ListOf<dao_audio>>(
            "rv_getSmartcastAudioList", rv_getSmartcastAudioList,
            detail::args(smartcast_id, clock_id.c_str()), std::forward<F>(on_done)...);
    }

    /* Broadcasts */

    /// Every broadcast category.
    template <class... F>
    auto get_broadcast_category(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_broadcast_category>>(
            "rv_getBroadcastCategory", rv_getBroadcastCategory, detail::args(),
            std::forward<F>(on_done)...);
    }
    /// Every broadcast area.
    template <class... F>
    auto get_broadcast_area(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_broadcast_area>>("rv_getBroadcastArea",
                                                                rv_getBroadcastArea, detail::args(),
                                                                std::forward<F>(on_done)...);
    }
    /// The days the programme guide covers.
    template <class... F>
    auto get_broadcast_date(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_broadcast_date>>("rv_getBroadcastDate",
                                                                rv_getBroadcastDate, detail::args(),
                                                                std::forward<F>(on_done)...);
    }
    /// A page of the broadcasts of a type, classification and area.
    template <class... F>
    auto get_broadcast_list(int type, int classifyid, int pagenum, int pagesize, int area,
                            F &&...on_done) const {
        return detail::call<detail::One<dao_broadcast_set>>(
            "rv_getBroadcastList", rv_getBroadcastList,
            detail::args(type, classifyid, pagenum, pagesize, area), std::forward<F>(on_done)...);
    }
    /// A broadcast's details.
    template <class... F>
    auto get_broadcast_info(int64_t broadcast_id, F &&...on_done) const {
        return detail::call<detail::One<dao_broadcast_info>>(
            "rv_getBroadcastInfo", rv_getBroadcastInfo, detail::args(broadcast_id),
            std::forward<F>(on_done)...);
    }
    /// The programmes of a broadcast on `date` ("" today, "YYYY-MM-DD"), in time order.
    template <class... F>
    auto get_broadcast_program_list(int64_t broadcast_id, const std::string &date,
                                    F &&...on_done) const {
        return detail::call<detail::ListOf<dao_program>>(
            "rv_getBroadcastProgramList", rv_getBroadcastProgramList,
            detail::args(broadcast_id, date.c_str()), std::forward<F>(on_done)...);
    }
    /// A programme's details (serverTime absent).
    template <class... F>
    auto get_broadcast_program_info(int64_t program_id, F &&...on_done) const {
        return detail::call<detail::One<dao_program>>(
            "rv_getBroadcastProgramInfo", rv_getBroadcastProgramInfo, detail::args(program_id),
            std::forward<F>(on_done)...);
    }
    /// The programme on air now, with serverTime set.
    template <class... F>
    auto get_broadcast_current_program(int64_t broadcast_id, F &&...on_done) const {
        return detail::call<detail::One<dao_program>>(
            "rv_getBroadcastCurrentProgram", rv_getBroadcastCurrentProgram,
            detail::args(broadcast_id), std::forward<F>(on_done)...);
    }
    /// City broadcast lists: the SDK does not read these answers yet, so a
    /// success carries no value (the callable is called with no argument; the
    /// future is an rv::Future<void>).
    template <class... F>
    auto get_city_broadcast_list(int citycode, int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::NoData>("rv_getCityBroadcastList", rv_getCityBroadcastList,
                                            detail::args(citycode, pagenum, pagesize),
                                            std::forward<F>(on_done)...);
    }
    /// See get_city_broadcast_list.
    template <class... F>
    auto get_city_broadcast_top_list(F &&...on_done) const {
        return detail::call<detail::NoData>("rv_getCityBroadcastTopList",
                                            rv_getCityBroadcastTopList, detail::args(),
                                            std::forward<F>(on_done)...);
    }

    /* Search */

    /// At most `limit` words that complete `word`.
    template <class... F>
    auto get_search_suggest_word(const std::string &word, int limit, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_search_suggest_word>>(
            "rv_getSearchSuggestWord", rv_getSearchSuggestWord, detail::args(word.c_str(), limit),
            std::forward<F>(on_done)...);
    }
    /// Everything whose name holds `keyword`; empty when nothing matches.
    template <class... F>
    auto do_search(const std::string &keyword, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_search_result>>(
            "rv_doSearch", rv_doSearch, detail::args(keyword.c_str()), std::forward<F>(on_done)...);
    }

    /* Authorisation of a user by QR code */

    /// A new QR code for the user to scan (rv_getAuthQRCode).
    template <class... F>
    auto get_auth_qrcode(const std::string &response_type, const std::string &scope,
                         const std::string &redirect_uri, const std::string &state,
                         F &&...on_done) const {
        return detail::call<detail::One<dao_auth_qrcode>>(
            "rv_getAuthQRCode", rv_getAuthQRCode,
            detail::args(response_type.c_str(), scope.c_str(), redirect_uri.c_str(), state.c_str()),
            std::forward<F>(on_done)...);
    }
    /// The status of QR code `uuid`.
    template <class... F>
    auto get_auth_qrcode_status(const std::string &uuid, F &&...on_done) const {
        return detail::call<detail::One<dao_auth_qrcode_status>>(
            "rv_getAuthQRCodeStatus", rv_getAuthQRCodeStatus, detail::args(uuid.c_str()),
            std::forward<F>(on_done)...);
    }
    /// The grant code of confirmed QR code `uuid` (poll its status first).
    template <class... F>
    auto get_auth_grant_code(const std::string &uuid, F &&...on_done) const {
        return detail::call<detail::One<dao_auth_grant_code>>(
            "rv_getAuthGrantCode", rv_getAuthGrantCode, detail::args(uuid.c_str()),
            std::forward<F>(on_done)...);
    }
    /// Exchanges a grant code for an access token.
    template <class... F>
    auto get_auth_access_token(const std::string &code, const std::string &grant_type,
                               const std::string &redirect_uri, F &&...on_done) const {
        return detail::call<detail::One<dao_auth_access_token>>(
            "rv_getAuthAccessToken", rv_getAuthAccessToken,
            detail::args(code.c_str(), grant_type.c_str(), redirect_uri.c_str()),
            std::forward<F>(on_done)...);
    }
    /// A new access token for `refresh_token`.
    template <class... F>
    auto refresh_auth_access_token(const std::string &refresh_token, const std::string &grant_type,
                                   F &&...on_done) const {
        return detail::call<detail::One<dao_auth_access_token>>(
            "rv_refreshAuthAccessToken", rv_refreshAuthAccessToken,
            detail::args(refresh_token.c_str(), grant_type.c_str()), std::forward<F>(on_done)...);
    }
    /// The user's profile.
    template <class... F>
    auto get_auth_user_info(const std::string &access_token, const std::string &open_uid,
                            F &&...on_done) const {
        return detail::call<detail::One<dao_auth_user_info>>(
            "rv_getAuthUserInfo", rv_getAuthUserInfo,
            detail::args(access_token.c_str(), open_uid.c_str()), std::forward<F>(on_done)...);
    }
    /// Ends the authorisation.
    template <class... F>
    auto do_auth_revoke(const std::string &access_token, const std::string &open_uid,
                        F &&...on_done) const {
        return detail::call<detail::One<dao_auth_revoke_result>>(
            "rv_doAuthRevoke", rv_doAuthRevoke,
            detail::args(access_token.c_str(), open_uid.c_str()), std::forward<F>(on_done)...);
    }

    /* The authorised user's subscriptions and history (with the credentials
     * of cache_auth_access_info) */

    /// Subscribes to album, smartcast radio or broadcast `id`.
    template <class... F>
    auto do_subscribe(int64_t id, F &&...on_done) const {
        return detail::call<detail::One<dao_subscribe_result>>(
            "rv_doSubscribe", rv_doSubscribe, detail::args(id), std::forward<F>(on_done)...);
    }
    /// Ends the subscription to `id`.
    template <class... F>
    auto do_unsubscribe(int64_t id, F &&...on_done) const {
        return detail::call<detail::One<dao_unsubscribe_result>>(
            "rv_doUnSubscribe", rv_doUnSubscribe, detail::args(id), std::forward<F>(on_done)...);
    }
    /// Whether `id` is subscribed.
    template <class... F>
    auto get_subscribe_status(int64_t id, F &&...on_done) const {
        return detail::call<detail::One<dao_subscribe_status>>(
            "rv_getSubscribeStatus", rv_getSubscribeStatus, detail::args(id),
            std::forward<F>(on_done)...);
    }
    /// A page of subscriptions of resource type `type` (RV_RESOURCE_…).
    template <class... F>
    auto get_subscribe_list(int type, int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::One<dao_subscribe_set>>(
            "rv_getSubscribeList", rv_getSubscribeList, detail::args(type, pagenum, pagesize),
            std::forward<F>(on_done)...);
    }
    /// Records what was played (rv_saveListenHistory: the units, when to call it).
    template <class... F>
    auto save_listen_history(int64_t radio_id, int64_t audio_id, int64_t played_time,
                             int64_t duration, int64_t time_stamp, F &&...on_done) const {
        return detail::call<detail::One<dao_history_save_result>>(
            "rv_saveListenHistory", rv_saveListenHistory,
            detail::args(radio_id, audio_id, played_time, duration, time_stamp),
            std::forward<F>(on_done)...);
    }
    /// Newest first; the page carries no count, sumPage or pageSize (0).
    template <class... F>
    auto get_listen_history(F &&...on_done) const {
        return detail::call<detail::One<dao_history_set>>("rv_getListenHistory",
                                                          rv_getListenHistory, detail::args(),
                                                          std::forward<F>(on_done)...);
    }
    /// Empties the listening history.
    template <class... F>
    auto clear_listen_history(F &&...on_done) const {
        return detail::call<detail::One<dao_history_clear_result>>(
            "rv_clearListenHistory", rv_clearListenHistory, detail::args(),
            std::forward<F>(on_done)...);
    }

    /* The authorised user (synchronous; any thread) */

    /// Requests made on the user's behalf carry these credentials from the
    /// next request on.
    void cache_auth_access_info(const std::string &access_token,
                                const std::string &open_uid) const {
        const int code = rv_cacheSdkAuthAccessInfo(access_token.c_str(), open_uid.c_str());
        if (code != RVE_OK) {
            throw Error(code, "rv_cacheSdkAuthAccessInfo");
        }
    }
    /// Forgets the credentials of cache_auth_access_info.
    void clear_auth_access_info() const { rv_clearSdkAuthAccessInfo(); }

    /// True when the start-up did not reach the service (Config::offline_start).
    bool offline() const noexcept { return offline_; }

  private:
    bool offline_ = false;
    /// Destroyed after ~Sdk released the SDK.
    detail::DispatcherSlot dispatcher_;
};

/// "MAJOR.MINOR.PATCH" of the library loaded at run time.
inline std::string_view version() {
    return rv_sdk_version();
}

}  // namespace rv

#endif
