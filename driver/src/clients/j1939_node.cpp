#include "clients/j1939_node.h"

#include <chrono>

namespace zt {

J1939Node::J1939Node(std::unique_ptr<CanLink> link, const Clock& clock, Hooks hooks,
                     j1939::EngineOptions options)
    : clock_(clock), link_(std::move(link)), hooks_(std::move(hooks)),
      engine_(clock,
              j1939::EngineCallbacks{[this](const CanFrame& f) { outbox_.push_back(f); },
                                     [this](const j1939::Message& m) {
                                         if (hooks_.deliver)
                                             hooks_.deliver(m);
                                         changed_.notify_all();
                                     },
                                     [this](const j1939::SendCompletion& c) {
                                         if (hooks_.sendDone)
                                             hooks_.sendDone(c);
                                         changed_.notify_all();
                                     },
                                     [this](const j1939::ClaimEvent& e) {
                                         if (hooks_.claimChanged)
                                             hooks_.claimChanged(e);
                                         changed_.notify_all();
                                     }},
              ownFramesFromLink(std::move(options))) {}

j1939::EngineOptions J1939Node::ownFramesFromLink(j1939::EngineOptions options) {
    // A paced link hands the node its own frames once they are on the bus:
    // the engine's own transfers then take the bus's time.
    options.ownerLoopsFramesBack = link_->setOwnFrameHandler([this](const CanFrame& f) { onOwnFrame(f); });
    return options;
}

J1939Node::~J1939Node() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
    link_->close(); // no frame handler runs after this
}

LinkError J1939Node::open() {
    LinkError error = link_->open([this](const CanFrame& f) { onFrame(f); }, {});
    if (error)
        return error;
    std::lock_guard lock(m_);
    open_ = true;
    worker_ = std::thread([this] { work(); });
    return {};
}

void J1939Node::onFrame(const CanFrame& frame) {
    onLinkFrame(frame, false);
}

void J1939Node::onOwnFrame(const CanFrame& frame) {
    onLinkFrame(frame, true);
}

void J1939Node::onLinkFrame(const CanFrame& frame, bool own) {
    // On the link's thread, under its lock: the engine's answers are queued
    // and the worker puts them on the link.
    std::lock_guard lock(m_);
    if (own)
        engine_.onOwnFrame(frame);
    else
        engine_.onFrame(frame);
    if (!outbox_.empty())
        flushWanted_ = true;
    if (flushWanted_ || engine_.nextDeadline() < workerDeadline_)
        wake_.notify_one();
}

void J1939Node::after(std::unique_lock<std::mutex>& lock, Micros deadlineBefore) {
    const bool frames = !outbox_.empty();
    // Wake the worker only when a timer now falls due before what it sleeps until.
    const Micros deadline = engine_.nextDeadline();
    if (deadline != deadlineBefore && deadline < workerDeadline_)
        wake_.notify_one();
    if (!frames) {
        lock.unlock();
        return;
    }
    // Usually no one else flushes: take the outbox now rather than locking
    // m_ again. try_lock keeps the order flush_ before m_.
    std::unique_lock flushLock(flush_, std::try_to_lock);
    if (!flushLock.owns_lock()) {
        lock.unlock();
        flush();
        return;
    }
    flushing_.swap(outbox_);
    flushWanted_ = false;
    lock.unlock();
    sendFlushing();
}

void J1939Node::flush() {
    std::lock_guard flushLock(flush_);
    {
        std::lock_guard lock(m_);
        flushing_.swap(outbox_);
        flushWanted_ = false;
    }
    sendFlushing();
}

void J1939Node::sendFlushing() {
    for (const CanFrame& f : flushing_)
        link_->send(f); // a frame the link refuses is lost, as on a bus in error
    flushing_.clear();
}

void J1939Node::work() {
    std::unique_lock lock(m_);
    while (!stop_) {
        if (!flushWanted_) {
            workerDeadline_ = engine_.nextDeadline();
            const Micros now = clock_.now();
            if (workerDeadline_ > now) {
                if (workerDeadline_ == j1939::kNoDeadline)
                    wake_.wait(lock);
                else
                    wake_.wait_for(lock, std::chrono::microseconds(workerDeadline_ - now));
                workerDeadline_ = j1939::kNoDeadline;
                continue; // re-check stop, the outbox and the deadline
            }
        }
        workerDeadline_ = j1939::kNoDeadline;
        if (engine_.nextDeadline() <= clock_.now())
            engine_.poll();
        if (!outbox_.empty() || flushWanted_) {
            lock.unlock();
            flush();
            lock.lock();
        }
    }
}

} // namespace zt
