#include "player/player_listeners.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "rv_callback_gate.hpp"
#include "rv_error.h"

namespace rv::listeners {

namespace {

struct Listener {
    rv_listener_id id = 0;
    rv_player_events events{};
    void *user = nullptr;
    // Hands `user` back once no call into it can run; called at most once.
    void (*release)(void *user) = nullptr;
    // Points at this record while it is added; the gate clears it on removal.
    std::atomic<Listener *> self{nullptr};
    rv::detail::CallbackGate<Listener *> gate{self};

    void release_user() noexcept {
        if (const auto hand_back = std::exchange(release, nullptr)) {
            hand_back(user);
        }
    }
    // Removed from inside a listener call: the last fan-out holding the
    // record has left it by now.
    ~Listener() { release_user(); }
};

// The listeners whose calls run on this thread, innermost last: a listener
// removed from inside its own call cannot be waited for; one removed from
// inside another's call is (its calls on other threads end first). The
// players deliver their calls one thread at a time, so two slots removing
// each other cannot wait on each other.
thread_local std::vector<const Listener *> t_inside;
using ListenerPtr = std::shared_ptr<Listener>;

// Guards s_listeners and s_next_id; taken briefly by adding, removing and
// every event's fan-out (to copy the list), never while a listener runs.
std::mutex s_mutex;
std::vector<ListenerPtr> s_listeners;
rv_listener_id s_next_id = 1;

}  // namespace

void each(void (*visit)(const rv_player_events &events, void *user, void *context), void *context) {
    std::vector<ListenerPtr> listeners;
    {
        std::lock_guard lock(s_mutex);
        if (s_listeners.empty()) {
            return;
        }
        try {
            listeners = s_listeners;
        } catch (const std::bad_alloc &) {
            return;  // this one event is not heard rather than heard under the lock
        }
    }
    for (const ListenerPtr &listener : listeners) {
        listener->gate.call([&](Listener *added) {
            try {
                t_inside.push_back(added);
            } catch (const std::bad_alloc &) {
                return;  // this one call is not made rather than made untracked
            }
            visit(added->events, added->user, context);
            t_inside.pop_back();
        });
    }
}

}  // namespace rv::listeners

using rv::listeners::Listener;
using rv::listeners::s_listeners;
using rv::listeners::s_mutex;
using rv::listeners::s_next_id;

namespace {
// Every slot after the size is a function pointer: a size ending inside one is
// no version's record but garbage, which would copy half a pointer.
bool record_size_ok(size_t size) {
    constexpr size_t kHead = offsetof(rv_player_events, on_prepare_complete);
    constexpr size_t kSlot = sizeof(rv_player_events::on_prepare_complete);
    static_assert(sizeof(rv_player_events) % kSlot == kHead % kSlot);
    return size >= kHead && (size - kHead) % kSlot == 0;
}
}  // namespace

int rv_addPlayerListener(const rv_player_events *events, void *user, rv_listener_id *out) {
    return rv_addPlayerListenerWithRelease(events, user, nullptr, out);
}

int rv_addPlayerListenerWithRelease(const rv_player_events *events, void *user,
                                    void (*release)(void *user), rv_listener_id *out) {
    if (events == nullptr || !record_size_ok(events->struct_size)) {
        return RVE_BAD_ARGS;
    }
    try {
        auto listener = std::make_shared<Listener>();
        // An older program's record is shorter: its missing slots stay null.
        std::memcpy(&listener->events, events,
                    std::min(events->struct_size, sizeof(rv_player_events)));
        listener->events.struct_size = sizeof(rv_player_events);
        listener->user = user;
        listener->release = release;
        listener->self.store(listener.get());
        std::lock_guard lock(s_mutex);
        listener->id = s_next_id++;
        s_listeners.push_back(listener);
        if (out != nullptr) {
            *out = listener->id;
        }
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
    return RVE_OK;
}

int rv_removePlayerListener(rv_listener_id id) {
    std::shared_ptr<Listener> removed;
    {
        std::lock_guard lock(s_mutex);
        const auto found = std::find_if(s_listeners.begin(), s_listeners.end(),
                                        [id](const auto &listener) { return listener->id == id; });
        if (found == s_listeners.end()) {
            return RVE_BAD_ARGS;
        }
        removed = std::move(*found);
        s_listeners.erase(found);
    }
    const auto &inside = rv::listeners::t_inside;
    if (std::find(inside.begin(), inside.end(), removed.get()) != inside.end()) {
        // Released when the last call still running into it has left.
        removed->gate.set_without_waiting(nullptr);
    } else {
        removed->gate.set(nullptr);  // waits for calls into it on other threads
        removed->release_user();
    }
    return RVE_OK;
}
