#include "j1939/transport.h"

#include "j1939/address_claim.h"

#include "rp1210a/rp1210a.h"

#include <algorithm>

namespace zt::j1939 {

namespace {

// The PGN a TP.CM frame names. A destination-specific PGN is taken with its
// low byte cleared: some nodes write the destination there.
uint32_t pgnAt(std::span<const uint8_t> d) {
    const uint32_t pgn = (d[5] | d[6] << 8 | uint32_t(d[7]) << 16) & kMaxPgn;
    return isPdu1(pgn) ? pgn & ~0xFFu : pgn;
}
uint16_t sizeAt(std::span<const uint8_t> d) {
    return uint16_t(d[1] | d[2] << 8);
}

std::array<uint8_t, 8> controlBytes(uint8_t control, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4,
                                    uint32_t pgn) {
    return {control, b1, b2, b3, b4, uint8_t(pgn), uint8_t(pgn >> 8), uint8_t(pgn >> 16)};
}

// The size decides the packet count; a count in the RTS or BAM that
// disagrees with it is ignored.
bool validSize(uint16_t size) {
    return size >= kMinTransport && size <= kMaxTransport;
}

// Nodes at the null or global address never take part in a transfer.
bool mayTransfer(uint8_t source) {
    return source < kNullAddress;
}

} // namespace

Transport::Transport(Engine& engine, const EngineOptions& options) : engine_(engine), options_(options) {}

void Transport::emit(const CanFrame& frame) {
    engine_.emitTransportFrame(frame);
}

void Transport::deliver(Message&& message) {
    engine_.callbacks_.deliver(message);
}

void Transport::done(const SendCompletion& completion) {
    engine_.callbacks_.sendDone(completion);
}

Micros Transport::timeoutOf(Timer timer) const {
    switch (timer) {
    case Timer::T1:
        return timeout::kT1;
    case Timer::T2:
        return timeout::kT2;
    case Timer::T3:
        return timeout::kT3;
    case Timer::T4:
        return timeout::kT4;
    case Timer::BamGap:
        // When the owner reports frames on the wire, the gap runs from the
        // previous frame's report; until it comes, wait as if the frame
        // had taken the longest allowed gap to go out.
        return options_.ownerLoopsFramesBack ? options_.bamPacketGap + timeout::kBamGapMax
                                             : options_.bamPacketGap;
    }
    return timeout::kT3;
}

void Transport::send(Message&& message, Micros now) {
    const uint16_t k = key(message.source, message.destination);
    sends_[k].queued.push_back(std::move(message));
    startNext(k, now);
}

void Transport::startNext(uint16_t channelKey, Micros now) {
    auto it = sends_.find(channelKey);
    if (it == sends_.end() || it->second.active)
        return;
    TxChannel& ch = it->second;
    if (ch.queued.empty()) {
        sends_.erase(it);
        return;
    }
    TxSession s;
    s.message = std::move(ch.queued.front());
    ch.queued.pop_front();
    s.packets = packetCount(s.message.data.size());
    const Message& m = s.message;
    const auto size = uint16_t(m.data.size());
    if (m.destination == kGlobalAddress) {
        emitControl(m.priority, m.source, m.destination,
                    controlBytes(control::kBam, uint8_t(size), uint8_t(size >> 8), s.packets, 0xFF, m.pgn));
        arm(s, Timer::BamGap, now);
    } else {
        s.perCts = std::min(s.packets, options_.rtsMaxPackets);
        emitControl(
            m.priority, m.source, m.destination,
            controlBytes(control::kRts, uint8_t(size), uint8_t(size >> 8), s.packets, s.perCts, m.pgn));
        arm(s, Timer::T3, now);
    }
    ch.active = std::move(s);
}

void Transport::finishTx(uint16_t channelKey, int result, uint8_t reason, Micros now) {
    auto it = sends_.find(channelKey);
    if (it == sends_.end() || !it->second.active)
        return;
    TxSession s = std::move(*it->second.active);
    it->second.active.reset();
    const Token origin = s.message.origin;
    if (result == 0) {
        s.message.timestamp = now;
        deliver(std::move(s.message));
    }
    done({origin, result, reason});
    startNext(channelKey, now);
}

void Transport::sendPackets(TxSession& s, uint8_t first, uint8_t count) {
    const Message& m = s.message;
    for (unsigned seq = first; seq < unsigned(first) + count && seq <= s.packets; ++seq) {
        CanFrame f;
        f.id = encodeId(m.priority, pgn::kTpDataTransfer, m.source, m.destination);
        f.length = 8;
        f.data.fill(0xFF);
        f.data[0] = uint8_t(seq);
        const std::size_t offset = (seq - 1) * kBytesPerPacket;
        const std::size_t n = std::min(kBytesPerPacket, m.data.size() - offset);
        std::copy_n(m.data.begin() + std::ptrdiff_t(offset), n, f.data.begin() + 1);
        emit(f);
    }
}

void Transport::onTxControl(uint16_t channelKey, std::span<const uint8_t> d, Micros now) {
    TxSession& s = *sends_[channelKey].active;
    const Message& m = s.message;
    switch (d[0]) {
    case control::kCts: {
        const uint8_t count = d[1];
        const uint8_t next = d[2];
        if (count == 0) {
            arm(s, Timer::T4, now);
            return;
        }
        // A packet that does not exist, or more packets than the RTS allowed
        // per CTS: the receiver has lost track of the transfer.
        const uint8_t reason = next == 0 || next > s.packets ? abort_reason::kBadSequence
                               : count > s.perCts            ? abort_reason::kOther
                                                             : 0;
        if (reason != 0) {
            emitAbort(m.priority, m.source, m.destination, m.pgn, reason);
            finishTx(channelKey, ERR_TXMESSAGE_STATUS, reason, now);
            return;
        }
        // T3 runs from here in case no packet reaches the wire, and again from
        // each of them that does (onOwnTxFrame).
        arm(s, Timer::T3, now);
        sendPackets(s, next, count);
        return;
    }
    case control::kEndOfMessageAck:
        finishTx(channelKey, 0, 0, now);
        return;
    case control::kAbort:
        finishTx(channelKey, ERR_TXMESSAGE_STATUS, d[1], now);
        return;
    default:
        return;
    }
}

// A frame of a transfer this engine sends, now on the wire: the sender's
// timers run from here (frames the owner loops back arrive once the link has
// put them on the bus).
void Transport::onOwnTxFrame(const FrameId& id, std::span<const uint8_t> d, Micros now) {
    auto it = sends_.find(key(id.source, id.destination));
    if (it == sends_.end() || !it->second.active || d.empty())
        return;
    TxSession& s = *it->second.active;
    if (s.timer == Timer::BamGap) {
        // Only the frame sent last starts the gap to the next one.
        const bool announcement = id.pgn == pgn::kTpConnectionManagement && d[0] == control::kBam;
        const uint8_t lastSent = uint8_t(s.nextBamPacket - 1);
        if (announcement ? lastSent == 0 : id.pgn == pgn::kTpDataTransfer && d[0] == lastSent)
            s.deadline = now + options_.bamPacketGap;
    } else if (s.timer == Timer::T3) {
        arm(s, Timer::T3, now);
    }
}

void Transport::onFrame(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, FrameOrigin origin,
                        Micros now) {
    if (!mayTransfer(id.source))
        return;
    const bool own = origin == FrameOrigin::Transport;
    if (own && (id.pgn == pgn::kTpDataTransfer ||
                (d.size() >= 8 && (d[0] == control::kRts || d[0] == control::kBam))))
        onOwnTxFrame(id, d, now);
    if (id.pgn == pgn::kTpDataTransfer) {
        if (!d.empty())
            onData(id, d, timestamp, own, now);
        return;
    }
    if (id.pgn != pgn::kTpConnectionManagement || d.size() < 8)
        return;
    switch (d[0]) {
    case control::kRts:
        if (mayTransfer(id.destination))
            onRts(id, d, timestamp, own, now);
        return;
    case control::kBam:
        if (id.destination == kGlobalAddress && !own)
            onBam(id, d, timestamp, now);
        return;
    case control::kCts:
    case control::kEndOfMessageAck:
    case control::kAbort: {
        // From the receiving side to the sender: does it concern one of ours?
        const uint16_t txKey = key(id.destination, id.source);
        auto tx = sends_.find(txKey);
        if (id.destination != kGlobalAddress && tx != sends_.end() && tx->second.active &&
            tx->second.active->message.destination != kGlobalAddress &&
            tx->second.active->message.pgn == pgnAt(d)) {
            onTxControl(txKey, d, now);
            return;
        }
        if (d[0] == control::kAbort) {
            // From the sender to an answering side of ours, or either way on a
            // transfer we follow.
            auto rx = receives_.find(key(id.source, id.destination));
            if (rx != receives_.end() && rx->second.pgn == pgnAt(d) && (own == rx->second.ownTransfer) &&
                rx->second.kind != RxKind::Broadcast) {
                receives_.erase(rx);
                return;
            }
        }
        if (own)
            return;
        auto followed = receives_.find(txKey);
        if (followed == receives_.end() || followed->second.kind != RxKind::Following ||
            followed->second.pgn != pgnAt(d))
            return;
        if (d[0] == control::kCts)
            arm(followed->second, Timer::T3, now);
        else
            receives_.erase(followed); // acknowledged before we saw every packet, or aborted
        return;
    }
    default:
        return;
    }
}

bool Transport::addReceive(uint16_t k, RxSession&& r) {
    receives_.erase(k);
    if (receives_.size() >= options_.maxReceiveSessions)
        return false;
    receives_.emplace(k, std::move(r));
    return true;
}

void Transport::onRts(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, bool own, Micros now) {
    const uint16_t size = sizeAt(d);
    const uint32_t pgn = pgnAt(d);
    const uint16_t k = key(id.source, id.destination);
    RxSession r;
    r.pgn = pgn;
    r.priority = id.priority;
    r.source = id.source;
    r.destination = id.destination;
    r.packets = packetCount(size);
    r.lastTimestamp = timestamp;

    if (!engine_.claims_->protects(id.destination)) {
        if (own || !validSize(size))
            return;
        r.kind = RxKind::Following;
        r.data.resize(size);
        arm(r, Timer::T3, now);
        addReceive(k, std::move(r));
        return;
    }
    // A new RTS for the transfer being answered means the sender started it
    // again: the old session is dropped without a word. Another PGN must
    // wait until the open transfer ends.
    auto existing = receives_.find(k);
    if (existing != receives_.end() && existing->second.kind == RxKind::Answering &&
        existing->second.pgn != pgn) {
        emitAbort(id.priority, id.destination, id.source, pgn, abort_reason::kAlreadyInSession);
        return;
    }
    if (size > kMaxTransport) {
        emitAbort(id.priority, id.destination, id.source, pgn, abort_reason::kMessageTooLarge);
        return;
    }
    if (!validSize(size)) {
        emitAbort(id.priority, id.destination, id.source, pgn, abort_reason::kOther);
        return;
    }
    r.kind = RxKind::Answering;
    r.ownTransfer = own;
    r.perCts = d[4] == 0 ? 255 : d[4];
    r.data.resize(size);
    if (!addReceive(k, std::move(r))) {
        emitAbort(id.priority, id.destination, id.source, pgn, abort_reason::kLackingResources);
        return;
    }
    sendCts(receives_[k], now);
}

void Transport::onBam(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, Micros now) {
    const uint16_t size = sizeAt(d);
    if (!validSize(size))
        return;
    RxSession r;
    r.kind = RxKind::Broadcast;
    r.pgn = pgnAt(d);
    r.priority = id.priority;
    r.source = id.source;
    r.destination = kGlobalAddress;
    r.packets = packetCount(size);
    r.data.resize(size);
    r.lastTimestamp = timestamp;
    arm(r, Timer::T1, now);
    addReceive(key(id.source, kGlobalAddress), std::move(r));
}

void Transport::sendCts(RxSession& r, Micros now) {
    unsigned first = 1;
    while (first <= r.packets && r.got[first])
        ++first;
    const unsigned remaining = r.packets - first + 1;
    const auto count = uint8_t(std::min({remaining, unsigned(options_.ctsWindow), unsigned(r.perCts)}));
    r.windowEnd = uint8_t(first + count - 1);
    r.lastInWindow = uint8_t(first - 1);
    emitControl(r.priority, r.destination, r.source,
                controlBytes(control::kCts, count, uint8_t(first), 0xFF, 0xFF, r.pgn));
    arm(r, Timer::T2, now);
}

void Transport::onData(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, bool own,
                       Micros now) {
    auto it = receives_.find(key(id.source, id.destination));
    if (it == receives_.end() || own != it->second.ownTransfer)
        return;
    RxSession& r = it->second;
    const uint8_t seq = d[0];
    if (seq == 0 || seq > r.packets) {
        if (r.kind == RxKind::Answering) {
            emitAbort(r.priority, r.destination, r.source, r.pgn, abort_reason::kBadSequence);
            receives_.erase(it);
        }
        return;
    }
    if (r.kind == RxKind::Answering) {
        // Packets of a window come in order: one at or before the last seen
        // since the CTS is a duplicate, one past the window was not asked for.
        if (seq <= r.lastInWindow || seq > r.windowEnd)
            return;
        r.lastInWindow = seq;
    } else if (r.got[seq]) {
        return; // a duplicate
    }
    // A packet asked for again but already here keeps its first copy.
    if (!r.got[seq]) {
        const std::size_t offset = (seq - 1u) * kBytesPerPacket;
        const std::size_t n = std::min({kBytesPerPacket, r.data.size() - offset, d.size() - 1});
        std::copy_n(d.begin() + 1, n, r.data.begin() + std::ptrdiff_t(offset));
        r.got.set(seq);
        ++r.received;
    }
    r.lastTimestamp = timestamp;
    if (r.received == r.packets) {
        if (r.kind == RxKind::Answering) {
            const auto size = uint16_t(r.data.size());
            emitControl(r.priority, r.destination, r.source,
                        controlBytes(control::kEndOfMessageAck, uint8_t(size), uint8_t(size >> 8), r.packets,
                                     0xFF, r.pgn));
        }
        finishRx(it);
        return;
    }
    switch (r.kind) {
    case RxKind::Answering: {
        if (seq < r.windowEnd) {
            arm(r, Timer::T1, now);
            break;
        }
        // The window's last packet: ask again from the first one missing, or
        // for the next window.
        unsigned firstMissing = 1;
        while (r.got[firstMissing])
            ++firstMissing;
        if (firstMissing > r.windowEnd) {
            r.retransmits = 0; // the window is whole; the limit counts per window
        } else if (++r.retransmits > options_.maxRetransmits) {
            emitAbort(r.priority, r.destination, r.source, r.pgn, abort_reason::kRetransmitLimit);
            receives_.erase(it);
            return;
        }
        sendCts(r, now);
        break;
    }
    case RxKind::Following:
        arm(r, Timer::T3, now);
        break;
    case RxKind::Broadcast:
        arm(r, Timer::T1, now);
        break;
    }
}

void Transport::finishRx(std::map<uint16_t, RxSession>::iterator it) {
    RxSession r = std::move(it->second);
    receives_.erase(it);
    if (r.ownTransfer)
        return; // the sending side delivers it, tagged with its origin
    Message m;
    m.pgn = r.pgn;
    m.priority = r.priority;
    m.source = r.source;
    m.destination = r.destination;
    m.data = std::move(r.data);
    m.timestamp = r.lastTimestamp;
    deliver(std::move(m));
}

void Transport::poll(Micros now) {
    std::vector<uint16_t> due;
    for (const auto& [k, ch] : sends_)
        if (ch.active && ch.active->deadline <= now)
            due.push_back(k);
    for (uint16_t k : due) {
        auto it = sends_.find(k);
        if (it == sends_.end() || !it->second.active)
            continue;
        TxSession& s = *it->second.active;
        const Message& m = s.message;
        if (m.destination == kGlobalAddress) {
            const uint8_t seq = s.nextBamPacket++;
            if (seq != s.packets)
                arm(s, Timer::BamGap, now);
            sendPackets(s, seq, 1);
            if (seq == s.packets)
                finishTx(k, 0, 0, now);
        } else {
            emitAbort(m.priority, m.source, m.destination, m.pgn, abort_reason::kTimeout);
            finishTx(k, ERR_HARDWARE_NOT_RESPONDING, abort_reason::kTimeout, now);
        }
    }
    for (auto it = receives_.begin(); it != receives_.end();) {
        const RxSession& r = it->second;
        if (r.deadline > now) {
            ++it;
            continue;
        }
        if (r.kind == RxKind::Answering)
            emitAbort(r.priority, r.destination, r.source, r.pgn, abort_reason::kTimeout);
        it = receives_.erase(it);
    }
}

Micros Transport::nextDeadline() const {
    Micros next = kNoDeadline;
    for (const auto& [k, ch] : sends_)
        if (ch.active)
            next = std::min(next, ch.active->deadline);
    for (const auto& [k, r] : receives_)
        next = std::min(next, r.deadline);
    return next;
}

void Transport::stopAddress(uint8_t address) {
    std::vector<SendCompletion> ended;
    for (auto it = sends_.begin(); it != sends_.end();) {
        if (it->first >> 8 != address) {
            ++it;
            continue;
        }
        if (it->second.active)
            ended.push_back({it->second.active->message.origin, ERR_ADDRESS_LOST, 0});
        for (const Message& m : it->second.queued)
            ended.push_back({m.origin, ERR_ADDRESS_LOST, 0});
        it = sends_.erase(it);
    }
    std::erase_if(receives_, [address](const auto& entry) {
        const RxSession& r = entry.second;
        return (r.kind == RxKind::Answering && r.destination == address) ||
               (r.ownTransfer && r.source == address);
    });
    for (const SendCompletion& c : ended)
        done(c);
}

std::size_t Transport::receiveBufferedBytes() const {
    std::size_t bytes = 0;
    for (const auto& [k, r] : receives_)
        bytes += r.data.size();
    return bytes;
}

std::size_t Transport::pendingSendCount() const {
    std::size_t count = 0;
    for (const auto& [k, ch] : sends_)
        count += ch.queued.size() + (ch.active ? 1 : 0);
    return count;
}

void Transport::emitControl(uint8_t priority, uint8_t source, uint8_t destination,
                            std::array<uint8_t, 8> bytes) {
    CanFrame f;
    f.id = encodeId(priority, pgn::kTpConnectionManagement, source, destination);
    f.length = 8;
    f.data = bytes;
    emit(f);
}

void Transport::emitAbort(uint8_t priority, uint8_t source, uint8_t destination, uint32_t pgn,
                          uint8_t reason) {
    emitControl(priority, source, destination, controlBytes(control::kAbort, reason, 0xFF, 0xFF, 0xFF, pgn));
}

} // namespace zt::j1939
