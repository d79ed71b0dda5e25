// An in-process bus shared by the nodes of one device: what one node sends
// reaches every other node attached, never the sender. Optionally paced: each
// item occupies the bus for its wire time, counted on the injected clock, and
// is delivered when its last bit has passed.
//
// Delivery runs under the bus's mutex, so every node sees the items in one
// order and no handler runs once detach() has returned. Handlers must not
// send on any link (they queue and wake their own worker instead), and
// nobody may send or detach while holding a lock a handler takes.
#pragma once

#include "support/clock.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zt {

template <typename Item> class VirtualBus {
public:
    using Handler = std::function<void(const Item&)>;
    using WireTime = std::function<Micros(const Item&)>; // 0: unpaced
    static constexpr std::size_t kMaxQueued = 4096;

    // With a pacing function and runThread, a bus thread delivers the queued
    // items on time; tests leave runThread off and call deliverDue().
    VirtualBus(Clock& clock, WireTime wireTime = {}, bool runThread = true)
        : clock_(clock), wireTime_(std::move(wireTime)) {
        if (wireTime_ && runThread)
            thread_ = std::thread([this] { run(); });
    }
    ~VirtualBus() {
        {
            std::lock_guard lock(m_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    // own, when set, gets the node's own items back once delivered (paced
    // buses only: unpaced, the sender is still inside send()).
    int attach(Handler handler, Handler own = {}) {
        std::lock_guard lock(m_);
        nodes_.push_back({nextNode_, std::move(handler), wireTime_ ? std::move(own) : Handler{}});
        return nextNode_++;
    }
    void detach(int node) {
        std::lock_guard lock(m_);
        std::erase_if(nodes_, [&](const Node& n) { return n.id == node; });
        std::erase_if(queue_, [&](const Queued& q) { return q.sender == node; });
    }

    // Returns false when the pacing queue is full.
    bool send(int sender, Item item) {
        std::lock_guard lock(m_);
        const Micros now = clock_.now();
        if (!wireTime_) {
            item.timestamp = now;
            deliver(sender, item);
            return true;
        }
        if (queue_.size() >= kMaxQueued)
            return false;
        const Micros start = std::max(now, busFreeAt_);
        busFreeAt_ = start + wireTime_(item);
        item.timestamp = busFreeAt_;
        queue_.push_back({sender, std::move(item)});
        wake_.notify_all();
        return true;
    }

    // Delivers every queued item whose wire time has passed.
    void deliverDue() {
        std::lock_guard lock(m_);
        deliverDueLocked(clock_.now());
    }
    // When the next queued item is due; -1 when nothing is queued.
    Micros nextDeadline() const {
        std::lock_guard lock(m_);
        return queue_.empty() ? -1 : queue_.front().item.timestamp;
    }

private:
    struct Node {
        int id;
        Handler handler;
        Handler own;
    };
    struct Queued {
        int sender;
        Item item;
    };

    void deliver(int sender, const Item& item) {
        for (const Node& n : nodes_) {
            if (n.id != sender)
                n.handler(item);
            else if (n.own)
                n.own(item);
        }
    }
    void deliverDueLocked(Micros now) {
        while (!queue_.empty() && queue_.front().item.timestamp <= now) {
            const Queued q = std::move(queue_.front());
            queue_.pop_front();
            deliver(q.sender, q.item);
        }
    }
    void run() {
        std::unique_lock lock(m_);
        while (!stop_) {
            if (queue_.empty()) {
                wake_.wait(lock);
                continue;
            }
            const Micros wait = queue_.front().item.timestamp - clock_.now();
            if (wait > 0) {
                wake_.wait_for(lock, std::chrono::microseconds(wait));
                continue;
            }
            deliverDueLocked(clock_.now());
        }
    }

    Clock& clock_;
    const WireTime wireTime_;
    mutable std::mutex m_;
    std::condition_variable wake_;
    std::vector<Node> nodes_;
    std::deque<Queued> queue_;
    Micros busFreeAt_ = 0;
    int nextNode_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace zt
