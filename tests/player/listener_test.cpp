// The application's listener registrations, slot by slot: reached with its
// arguments, read once, never read past, and a removal that waits for a call
// in flight on another thread but not for one on its own thread.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "player/player_state_listener.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// What an application compiled against the ten-slot record hands over.
using TenSlots = void (*[10])();
static_assert(sizeof(PlayerStateListener) == sizeof(TenSlots));

// Zero-filled bytes at the very end of a page followed by an inaccessible one.
template <class Record>
Record *guarded_tail(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    auto *base = static_cast<char *>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    EXPECT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    return reinterpret_cast<Record *>(base + page - bytes);
}
PlayerStateListener *g_state;
PlayerBroadcastListener *g_broadcast;

// The one hook every slot points at.
std::mutex g_mutex;  // guards g_heard
Lines g_heard;
std::function<void()> g_inside;  // set while no event runs; runs inside the slot

std::string describe(int64_t v) {
    return std::to_string(v);
}
std::string describe(const dao_play_item *item) {
    return "item " + std::to_string(item->audioId);
}
template <class... A>
void hook(A... args) {
    std::string text;
    ((text += (text.empty() ? "" : " ") + describe(args)), ...);
    {
        std::lock_guard lock(g_mutex);
        g_heard.push_back(text);
    }
    if (g_inside) {
        g_inside();
    }
}
Lines take() {
    std::lock_guard lock(g_mutex);
    return std::exchange(g_heard, {});
}

struct Row {
    void (*arm)(bool on);  // points the slot (or the registration) at the hook, or at null
    void (*add)();         // registers the record
    void (*remove)();
    void (*fire)();  // the SDK's call into the slot
    const char *heard;
};

// The application changes its record while the SDK may read it.
template <auto Slot, class Record>
void arm_slot(Record *record, bool on) {
    using Fn = std::remove_reference_t<decltype(record->*Slot)>;
    std::atomic_ref(record->*Slot)
        .store(on ? static_cast<Fn>(&hook) : nullptr, std::memory_order_relaxed);
}
template <auto Slot>
constexpr Row state_row(void (*fire)(), const char *heard = "") {
    return {[](bool on) { arm_slot<Slot>(g_state, on); }, [] { setPlayerStateListener(g_state); },
            removePlayerStateListener, fire, heard};
}
dao_play_item g_item = [] {
    dao_play_item item{};
    item.audioId = 77;
    return item;
}();

const Row kRows[] = {
    state_row<&PlayerStateListener::OnPrepareComplete>(
        setUserPlayerStateListener_OnPrepareComplete),
    state_row<&PlayerStateListener::OnPlaying>(setUserPlayerStateListener_OnPlaying),
    state_row<&PlayerStateListener::OnPaused>(setUserPlayerStateListener_OnPaused),
    state_row<&PlayerStateListener::OnProgress>(
        [] { setUserPlayerStateListener_OnProgress(1, 5000000000, 6000000000); },
        "1 5000000000 6000000000"),
    state_row<&PlayerStateListener::OnError>([] { setUserPlayerStateListener_OnError(100, -3); },
                                             "100 -3"),
    state_row<&PlayerStateListener::OnPlayEnd>(setUserPlayerStateListener_OnPlayEnd),
    state_row<&PlayerStateListener::OnSeekStart>(setUserPlayerStateListener_OnSeekStart),
    state_row<&PlayerStateListener::OnSeekComplete>(setUserPlayerStateListener_OnSeekComplete),
    state_row<&PlayerStateListener::OnBufferingStart>(setUserPlayerStateListener_OnBufferingStart),
    state_row<&PlayerStateListener::OnBufferingComplete>(
        setUserPlayerStateListener_OnBufferingComplete),
    {[](bool on) { arm_slot<&PlayerBroadcastListener::OnLiveProgramUpdated>(g_broadcast, on); },
     [] { setPlayerBroadcastListener(g_broadcast); }, removePlayerBroadcastListener,
     [] { setUserBroadcastListener_OnLiveProgramUpdated(&g_item); }, "item 77"},
    {[](bool on) { setPlayerDownloadProgressListener(on ? hook<int64_t, int64_t> : nullptr); },
     [] {}, [] { setPlayerDownloadProgressListener(nullptr); },
     [] { setUserDownloadProgressListener_OnDownloadProgress(10, 20); }, "10 20"},
};

TEST(Listeners, EachSlotIsReachedReadOnceAndItsRemovalWaitsOnlyForOtherThreads) {
    g_state = guarded_tail<PlayerStateListener>(sizeof(TenSlots));
    g_broadcast = guarded_tail<PlayerBroadcastListener>(sizeof(PlayerBroadcastListener));
    for (const Row &row : kRows) {
        SCOPED_TRACE(&row - kRows);
        row.fire();  // nothing registered
        row.add();
        row.fire();  // a null slot
        EXPECT_TRUE(take().empty());
        row.arm(true);  // set after registration: the SDK reads the record, not a copy
        row.fire();
        EXPECT_EQ(take(), Lines{row.heard});

        // While the slot flips between the hook and null, each event reaches the
        // hook or nothing (ThreadSanitizer checks the one read).
        std::atomic<bool> stop{false};
        std::thread flipper([&] {
            for (int i = 0; !stop; ++i) {
                row.arm(i % 2 == 0);
            }
        });
        for (int i = 0; i < 2000; ++i) {
            row.fire();
        }
        stop = true;
        flipper.join();
        EXPECT_LE(take().size(), 2000u);

        // A removal waits for the call in flight on another thread.
        row.arm(true);
        std::promise<void> entered;
        std::atomic<bool> removing{false}, finished{false};
        g_inside = [&] {
            entered.set_value();
            while (!removing) {
                std::this_thread::yield();
            }
            std::this_thread::sleep_for(20ms);  // a removal that does not wait returns meanwhile
            finished = true;
        };
        std::thread event(row.fire);
        entered.get_future().wait();
        removing = true;
        row.remove();
        EXPECT_TRUE(finished);
        event.join();

        // A removal from inside the slot's own call returns (a hang fails by timeout).
        row.add();
        row.arm(true);
        g_inside = [&] { row.remove(); };
        row.fire();
        g_inside = nullptr;
        row.fire();  // removed
        EXPECT_EQ(take(), (Lines{row.heard, row.heard}));
        row.arm(false);
    }
}

}  // namespace
