#include "clients/client.h"

namespace zt {

bool Client::passes(const MessageInfo& info) const {
    switch (mode) {
    case FilterMode::PassAll:
        return true;
    case FilterMode::DiscardAll:
        return false;
    case FilterMode::Selected:
        if (protocol == Protocol::J1708)
            return mids[info.mid];
        if (protocol == Protocol::J1939)
            return std::any_of(j1939Filters.begin(), j1939Filters.end(),
                               [&](const J1939Filter& f) { return f.matches(info); });
        return false;
    }
    return false;
}

void Client::touch() {
    ++version;
    if (statusWaiters > 0)
        statusChanged.notify_all();
}

void Client::offer(const SharedMessage& frame, bool own) {
    std::lock_guard lock(m);
    if (!connected || !receiveOn || (own && !echoOn) || !passes(frame->info))
        return;
    if (queue.size() >= kQueueMessages || queuedBytes + frame->bytes.size() > maxBytes) {
        // Never grow past the bound: the newest message is dropped, counted,
        // and the next read reports the loss.
        ++overflowed;
        overflowPending = true;
    } else {
        queue.push_back(frame);
        queuedBytes += frame->bytes.size();
        ++queued;
        arrivals.store(arrivals.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    if (blockedReaders > 0)
        readable.notify_one();
    touch();
}

void MessageBus::carry(MessagePtr message, const Client* sender) {
    message->stamp(nowMs());
    const SharedMessage shared = std::move(message);
    for (const auto& c : clients)
        c->offer(shared, c.get() == sender);
}

} // namespace zt
