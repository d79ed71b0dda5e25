// One node on a CAN link: a J1939 engine, its mutex, the outbox of frames it
// emits, and a worker thread that runs the engine's timers. The device's
// clients share one node; the simulated vehicle has its own.
//
// Locking, always in this order:
//   flush_        (one flusher at a time, so frames reach the link in the
//                  order the engine emitted them)
//   the link's own lock (a virtual bus delivers under it)
//   m_            (the engine and everything the hooks touch; the hooks run
//                  under it and may take a client's lock below it)
// m_ is never held while calling into the link, so a frame arriving from the
// link (which takes m_) cannot deadlock with a send.
#pragma once

#include "j1939/engine.h"
#include "links/link.h"
#include "support/clock.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zt {

class J1939Node {
public:
    // Called under the node's mutex; they may take locks below it only.
    struct Hooks {
        std::function<void(const j1939::Message&)> deliver;
        std::function<void(const j1939::SendCompletion&)> sendDone;
        std::function<void(const j1939::ClaimEvent&)> claimChanged;
    };

    J1939Node(std::unique_ptr<CanLink> link, const Clock& clock, Hooks hooks,
              j1939::EngineOptions options = {});
    ~J1939Node(); // stops the worker and closes the link
    J1939Node(const J1939Node&) = delete;
    J1939Node& operator=(const J1939Node&) = delete;

    LinkError open();

    // Runs f(engine, lock) under the node's mutex, then puts what the engine
    // emitted on the link. f may wait on changed() with the lock it gets.
    template <typename F> auto run(F&& f) {
        std::unique_lock lock(m_);
        const Micros before = engine_.nextDeadline();
        if constexpr (std::is_void_v<decltype(f(engine_, lock))>) {
            f(engine_, lock);
            after(lock, before);
        } else {
            auto result = f(engine_, lock);
            after(lock, before);
            return result;
        }
    }

    // Notified under the mutex whenever a hook ran: a send ended, a claim
    // changed, a message arrived.
    std::condition_variable& changed() { return changed_; }
    std::string linkName() const { return link_->name(); }
    BusState busState() const { return link_->busState(); }

private:
    j1939::EngineOptions ownFramesFromLink(j1939::EngineOptions options);
    void onFrame(const CanFrame& frame);
    void onOwnFrame(const CanFrame& frame); // paced links only
    void onLinkFrame(const CanFrame& frame, bool own);
    void after(std::unique_lock<std::mutex>& lock, Micros deadlineBefore);
    void flush();
    void sendFlushing(); // flush_ held
    void work();

    const Clock& clock_;
    std::unique_ptr<CanLink> link_;
    Hooks hooks_;
    std::mutex flush_;
    std::vector<CanFrame> flushing_; // guarded by flush_
    std::mutex m_;
    std::condition_variable changed_;
    std::condition_variable wake_;
    // Guarded by m_.
    j1939::Engine engine_;
    std::vector<CanFrame> outbox_;
    Micros workerDeadline_ = j1939::kNoDeadline; // what the worker sleeps until
    bool flushWanted_ = false;
    bool stop_ = false;
    bool open_ = false;
    std::thread worker_;
};

} // namespace zt
