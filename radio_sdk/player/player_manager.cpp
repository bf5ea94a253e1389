#include "player/player_manager.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "player/ijk_media_player.h"
#include "player/player_state_listener.h"
#include "request/report_req.h"
#include "rv_error.h"
#include "util/debug.h"

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

namespace {

// The process's one player mutex: made at the first start-up and never freed,
// so that a call that read it just before a release still locks a live mutex.
// player_mutex publishes it while the SDK runs.
thread_mutex *process_mutex() {
    static thread_mutex *const made = thread_mutex_new();
    return made;
}

// This thread's holds of it through the functions below: an unlock after a
// release still lets go of what this thread took before it.
thread_local int t_held = 0;

// Takes the published mutex with `op`; a release that withdrew it meanwhile
// gets it back at once and the caller hears that there is none.
int take(int (*thread_mutex::*op)(thread_mutex *)) {
    thread_mutex *m = player_mutex.load();
    if (m == nullptr) {
        return RVE_NOT_READY;
    }
    if ((m->*op)(m) != RVE_OK) {
        return RVE_FAILED;
    }
    if (player_mutex.load() == nullptr) {
        m->unlock(m);
        return RVE_NOT_READY;
    }
    ++t_held;
    return RVE_OK;
}

}  // namespace

bool initPlayerManager(void) {
    if (thread_mutex *m = process_mutex()) {
        player_mutex.store(m);
    }
    return player_mutex.load() != nullptr;
}

void destroyPlayerManager(void) {
    thread_mutex *m = player_mutex.load();
    if (m == nullptr) {
        return;
    }
    // Waits for the threads inside the players to leave; later ones are told
    // there is no mutex.
    m->lock(m);
    player_mutex.store(nullptr);
    m->unlock(m);
}

int player_global_mutex_lock(void) {
    return take(&thread_mutex::lock);
}

int player_global_mutex_try_lock(void) {
    return take(&thread_mutex::try_lock);
}

int player_global_mutex_unlock(void) {
    if (t_held == 0) {
        return player_mutex.load() != nullptr ? RVE_FAILED : RVE_NOT_READY;
    }
    --t_held;
    return process_mutex()->unlock(process_mutex());
}

// --- Listener calls after the lock -------------------------------------------------

namespace {

thread_local int t_lock_depth = 0;

// The sequence of listener calls; s_sequence_mutex guards it and s_delivering (any
// thread that tells the application something). Never held while a call runs.
std::mutex s_sequence_mutex;
std::deque<std::function<void()>> s_sequence;
bool s_delivering = false;

void publish_locked();

}  // namespace

PlayerGlobalLock::PlayerGlobalLock() {
    player_global_mutex_lock();
    ++t_lock_depth;
}

PlayerGlobalLock::~PlayerGlobalLock() {
    if (t_lock_depth == 1) {
        // What the players settled on in this section, not the steps on the way.
        publish_locked();
    }
    player_global_mutex_unlock();
    if (--t_lock_depth == 0) {
        player_deliver_listener_calls();
    }
}

bool player_lock_held_here() {
    return t_lock_depth > 0;
}

void player_queue_listener_call(std::function<void()> call) {
    std::lock_guard lock(s_sequence_mutex);
    s_sequence.push_back(std::move(call));
}

void player_deliver_listener_calls() {
    std::unique_lock lock(s_sequence_mutex);
    if (s_delivering) {
        return;  // the thread delivering takes ours too, after what was decided before them
    }
    s_delivering = true;
    // A call may lock, decide and queue more: delivered here, in turn, until none is left.
    while (!s_sequence.empty()) {
        std::function<void()> call = std::move(s_sequence.front());
        s_sequence.pop_front();
        lock.unlock();
        try {  // a call that fails is lost, not the sequence
            call();
        } catch (const std::bad_alloc &) {
            player_listener_call_dropped();
        }
        lock.lock();
    }
    s_delivering = false;
}

void player_listener_call_dropped() {
    LOGE("PLAYER", "No Memory For A Listener Call, Dropped ... \n");
}

// --- The two players and the engine ------------------------------------------------

namespace {

PlayerRecord s_records[2];  // guarded by the player global mutex
// A ticket no generation ever reaches: an event carrying it is always dropped.
constexpr uint64_t kNoTicket = UINT64_MAX;
// Each record's generation, also readable without the mutex.
std::atomic<uint64_t> s_generations[2] = {0, 0};

uint64_t next_generation_locked(PlayerKind kind) {
    s_records[kind].source = 0;
    const uint64_t generation = ++s_records[kind].generation;
    s_generations[kind].store(generation);
    return generation;
}
std::atomic<bool> s_enabled[2] = {false, false};
std::atomic<int32_t> s_owner{-1};
std::atomic<void (*)(void)> s_disable[2] = {nullptr, nullptr};
std::atomic<const dao_play_item *(*)(void)> s_current_item[2] = {nullptr, nullptr};

// What the application was told last; guarded by the player global mutex.
// The player it concerns is the one that moved last.
PlayerKind s_current = kAlbumPlayer;
PlayerPhase s_shown_phase = PlayerPhase::Idle;
struct ItemIdentity {
    int32_t kind = -1;
    int32_t type = 0;
    int64_t album = 0;
    int64_t audio = 0;
    bool operator==(const ItemIdentity &) const = default;
};
ItemIdentity s_shown_item;
uint64_t s_state_serial = 0;  // numbers the state changes told
std::atomic<rv_player_state> s_state{RV_PLAYER_IDLE};

static_assert(static_cast<int>(PlayerPhase::Error) == RV_PLAYER_ERROR &&
              static_cast<int>(PlayerPhase::Buffering) == RV_PLAYER_BUFFERING);

void publish_locked() {
    const PlayerPhase phase = s_records[s_current].phase;
    if (phase != s_shown_phase) {
        s_shown_phase = phase;
        const auto state = static_cast<rv_player_state>(phase);
        s_state.store(state);
        player_tell(setUserPlayerStateListener_OnStateChanged, ++s_state_serial, state);
        if (phase == PlayerPhase::Ended) {
            player_tell(setUserPlayerStateListener_OnListEnded);
        }
    }
    const auto current_item = s_current_item[s_current].load();
    const dao_play_item *item = current_item != nullptr ? current_item() : nullptr;
    if (item == nullptr) {
        return;
    }
    const ItemIdentity identity{s_current, item->type, item->albumId, item->audioId};
    if (identity == s_shown_item) {
        return;
    }
    s_shown_item = identity;
    std::shared_ptr<const dao_play_item> copy;
    try {  // runs in a destructor: nothing may escape
        copy.reset(dao_play_item_dup(item), dao_play_item_del);
    } catch (const std::bad_alloc &) {
    }
    if (copy == nullptr) {
        player_listener_call_dropped();
        return;
    }
    player_listener_call([copy] { setUserPlayerStateListener_OnItemChanged(copy); });
}

PlayerKind other_than(PlayerKind kind) {
    return kind == kAlbumPlayer ? kBroadcastPlayer : kAlbumPlayer;
}

// Play-end reports sent while the engine is given up at shut-down, followed
// until the service answered them. The wait is short so that release stays
// prompt on a dead link: the outbox keeps what is still unanswered.
constexpr std::chrono::milliseconds kReleaseReportWait{300};
std::mutex s_release_mutex;  // guards s_release_tracking, s_release_pending
std::condition_variable s_release_cv;
bool s_release_tracking = false;
int s_release_pending = 0;

void release_report_answered(int, void *, int, void *) {
    std::lock_guard lock(s_release_mutex);
    --s_release_pending;
    s_release_cv.notify_all();
}

// The callback for a report sent now: followed during shut-down, else none.
rv_result_callback report_callback() {
    std::lock_guard lock(s_release_mutex);
    if (!s_release_tracking) {
        return nullptr;
    }
    ++s_release_pending;
    return release_report_answered;
}

}  // namespace

PlayerRecord &player_record_locked(PlayerKind kind) {
    return s_records[kind];
}

uint64_t player_navigate_locked(PlayerKind kind, PlayerMove move) {
    if (move == PlayerMove::Resource) {
        PlayerRecord &other = s_records[other_than(kind)];
        next_generation_locked(other_than(kind));
        if (other.phase == PlayerPhase::Preparing) {
            other.phase = PlayerPhase::Idle;
        }
    }
    PlayerRecord &record = s_records[kind];
    if (move != PlayerMove::Auto) {
        record.intent = PlayerIntent::Play;
    }
    record.phase = PlayerPhase::Preparing;
    s_current = kind;
    return next_generation_locked(kind);
}

uint64_t player_generation_locked(PlayerKind kind) {
    return s_records[kind].generation;
}

uint64_t player_event_ticket(PlayerKind kind) {
    const uint64_t source = ijk_EventSource();
    if (source == 0) {
        return s_generations[kind].load();
    }
    if (player_global_mutex_lock() != RVE_OK) {
        return kNoTicket;
    }
    const PlayerRecord &record = s_records[kind];
    const uint64_t ticket = record.source == source ? record.generation : kNoTicket;
    player_global_mutex_unlock();
    if (ticket == kNoTicket) {
        LOGD("PLAYER", "Event Of A Source Left, Dropped ... \n");
    }
    return ticket;
}

bool player_answer_stale_locked(PlayerKind kind, uint64_t generation) {
    return player_answer_stale(kind, generation);
}

bool player_answer_stale(PlayerKind kind, uint64_t generation) {
    if (s_generations[kind].load() == generation) {
        return false;
    }
    if (generation != kNoTicket) {  // told when the ticket was given
        LOGD("PLAYER", "Answer For An Earlier Resource, Dropped ... \n");
    }
    return true;
}

bool player_may_move_locked(PlayerKind kind, uint64_t ticket) {
    const PlayerRecord &record = s_records[kind];
    return s_enabled[kind].load() && !player_answer_stale_locked(kind, ticket) &&
           record.intent == PlayerIntent::Play &&
           (record.phase == PlayerPhase::Playing || record.phase == PlayerPhase::Buffering);
}

void player_note_intent(PlayerIntent intent) {
    PlayerGlobalLock lock;
    for (PlayerKind kind : {kAlbumPlayer, kBroadcastPlayer}) {
        PlayerRecord &record = s_records[kind];
        if (record.phase == PlayerPhase::Preparing || s_owner.load() == kind) {
            record.intent = intent;
        }
    }
}

void player_stop_locked() {
    for (PlayerKind kind : {kAlbumPlayer, kBroadcastPlayer}) {
        PlayerRecord &record = s_records[kind];
        next_generation_locked(kind);
        record.intent = PlayerIntent::Stop;
        if (record.phase != PlayerPhase::Idle) {
            record.phase = PlayerPhase::Stopped;
        }
    }
}

void player_play_prepared(PlayerKind kind, uint64_t ticket) {
    PlayerGlobalLock lock;
    PlayerRecord &record = s_records[kind];
    if (player_answer_stale_locked(kind, ticket) || record.phase != PlayerPhase::Preparing) {
        return;
    }
    player_tell(setUserPlayerStateListener_OnPrepareComplete);
    // Under the lock, so that no stop or start slips between the decision and the engine.
    if (record.intent == PlayerIntent::Pause) {
        record.phase = PlayerPhase::Paused;
        ijk_Pause();
    } else {
        record.phase = PlayerPhase::Playing;
        ijk_Play();
    }
}

void player_event_phase_locked(PlayerKind kind, uint64_t ticket, PlayerPhase phase) {
    PlayerRecord &record = s_records[kind];
    if (player_answer_stale_locked(kind, ticket)) {
        return;
    }
    switch (phase) {
        case PlayerPhase::Buffering:
            if (record.phase == PlayerPhase::Playing) {
                record.phase = phase;
            }
            return;
        case PlayerPhase::Playing:  // buffering complete
            if (record.phase == PlayerPhase::Buffering) {
                record.phase = record.intent == PlayerIntent::Pause ? PlayerPhase::Paused
                                                                    : PlayerPhase::Playing;
            }
            return;
        default:
            record.phase = phase;
            return;
    }
}

void player_command_phase_locked(PlayerKind kind, PlayerPhase phase) {
    PlayerRecord &record = s_records[kind];
    if (record.phase == PlayerPhase::Playing || record.phase == PlayerPhase::Paused ||
        record.phase == PlayerPhase::Buffering) {
        record.phase = phase;
    }
}

namespace {

// Preparing or buffering, the engine's state is what the user asked for last.
bool phase_is(PlayerKind kind, PlayerPhase settled, PlayerIntent asked) {
    PlayerGlobalLock lock;
    const PlayerRecord &record = s_records[kind];
    if (record.phase == PlayerPhase::Preparing || record.phase == PlayerPhase::Buffering) {
        return record.intent == asked;
    }
    return record.phase == settled;
}

}  // namespace

bool player_is_playing(PlayerKind kind) {
    return phase_is(kind, PlayerPhase::Playing, PlayerIntent::Play);
}

bool player_is_paused(PlayerKind kind) {
    return phase_is(kind, PlayerPhase::Paused, PlayerIntent::Pause);
}

bool player_needs_restart_locked(PlayerKind kind) {
    const PlayerPhase phase = s_records[kind].phase;
    return phase == PlayerPhase::Stopped || phase == PlayerPhase::Ended ||
           phase == PlayerPhase::Error;
}

void player_start_failed_locked(PlayerKind kind, uint64_t generation, int32_t detail) {
    PlayerRecord &record = s_records[kind];
    if (player_answer_stale_locked(kind, generation) || record.failed == generation) {
        return;
    }
    record.failed = generation;
    record.phase = PlayerPhase::Error;
    player_start_refused(detail);
}

void player_list_end_reached() {
    player_tell(setUserPlayerStateListener_OnListEnded);
}

void player_start_refused(int32_t detail) {
    LOGW("PLAYER", "Start Failed, Nothing To Play [detail=%d] \n", detail);
    player_tell(setUserPlayerStateListener_OnError, RV_ERROR_WHAT_START_FAILED, detail);
    player_tell(setUserPlayerStateListener_OnStartFailed, RV_ERROR_WHAT_START_FAILED, detail);
}

void player_install(PlayerKind kind, void (*disable)(void),
                    const dao_play_item *(*current_item)(void)) {
    s_disable[kind].store(disable);
    s_current_item[kind].store(current_item);
}

rv_player_state player_state() {
    return s_state.load();
}

bool player_is_enabled(PlayerKind kind) {
    return s_enabled[kind].load();
}

int32_t player_engine_owner() {
    return s_owner.load();
}

bool player_enable_locked(PlayerKind kind) {
    if (s_enabled[kind].exchange(true)) {
        return false;
    }
    s_owner.store(kind);
    return true;
}

bool player_disable_locked(PlayerKind kind) {
    if (!s_enabled[kind].exchange(false)) {
        return false;
    }
    next_generation_locked(kind);
    s_records[kind].phase = PlayerPhase::Idle;
    int32_t owner = kind;
    s_owner.compare_exchange_strong(owner, -1);
    return true;
}

void player_disable_other_locked(PlayerKind kind) {
    const PlayerKind other = other_than(kind);
    void (*disable)(void) = s_disable[other].load();
    if (s_enabled[other].load() && disable != nullptr) {
        disable();
    }
}

void player_release_engine() {
    {
        std::lock_guard lock(s_release_mutex);
        s_release_tracking = true;
        s_release_pending = 0;
    }
    {
        PlayerGlobalLock lock;
        // Nothing pending on either player may start an item from now on.
        for (PlayerKind kind : {kAlbumPlayer, kBroadcastPlayer}) {
            next_generation_locked(kind);
        }
        const int32_t owner = s_owner.load();
        void (*disable)(void) = owner >= 0 ? s_disable[owner].load() : nullptr;
        if (disable != nullptr) {
            disable();
        }
    }
    std::unique_lock lock(s_release_mutex);
    s_release_cv.wait_for(lock, kReleaseReportWait, [] { return s_release_pending <= 0; });
    s_release_tracking = false;
}

void player_reset_all() {
    PlayerGlobalLock lock;
    for (PlayerKind kind : {kAlbumPlayer, kBroadcastPlayer}) {
        PlayerRecord &record = s_records[kind];
        dao_play_audio_item_del(record.resource);
        const uint64_t generation = record.generation;
        record = PlayerRecord{};
        record.generation = generation;
        next_generation_locked(kind);  // nothing from before is current again
    }
    for (auto &enabled : s_enabled) {
        enabled.store(false);
    }
    s_owner.store(-1);
    // A new start of the SDK tells its state and item afresh.
    s_current = kAlbumPlayer;
    s_shown_phase = PlayerPhase::Idle;
    s_shown_item = ItemIdentity{};
    s_state.store(RV_PLAYER_IDLE);
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
        send_report(report.get(), report_callback(), nullptr);
    } catch (const std::bad_alloc &) {
    }
}
