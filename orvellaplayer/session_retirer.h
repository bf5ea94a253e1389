// Ends sessions on a thread of its own, so that a stop or a new prepare never holds the
// commanding thread over a fade, a play-out or a join.
#ifndef ORV_SESSION_RETIRER_H
#define ORV_SESSION_RETIRER_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "session.h"

namespace orv {

class SessionRetirer {
  public:
    SessionRetirer();
    // Ends every session still handed over, then joins the thread.
    ~SessionRetirer();
    SessionRetirer(const SessionRetirer &) = delete;
    SessionRetirer &operator=(const SessionRetirer &) = delete;

    // Aborts `session` at once; its thread fades, plays out and is joined later, here.
    // Any thread; never blocks on the session (without memory: ends it in place).
    void retire(std::unique_ptr<Session> session);
    // Returns once every session handed over has closed its output and ended, or, on a
    // session's own thread, as soon as `abort` is set (that session was retired meanwhile).
    void await_idle(const std::atomic<bool> &abort);
    void await_idle();

  private:
    void run();

    // Guards queue_, ending_, stop_; taken by command threads, session threads waiting to
    // open their output, and the retirer's thread (never while it ends a session).
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::unique_ptr<Session>> queue_;
    bool ending_ = false;  // the thread is ending a session it took from queue_
    bool stop_ = false;
    std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace orv

#endif
