#include "j1939/engine.h"

#include "j1939/address_claim.h"
#include "j1939/transport.h"
#include "rp1210a/rp1210a.h"

#include <algorithm>

namespace zt::j1939 {

namespace {

// A small fixed-seed generator, so runs repeat and no clock is read.
std::function<uint32_t()> defaultRandom() {
    return [state = uint32_t(0x2545F491)]() mutable {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
}

uint64_t nameAt(std::span<const uint8_t> d) {
    uint64_t name = 0;
    for (int i = 7; i >= 0; --i)
        name = name << 8 | d[std::size_t(i)];
    return name;
}

Message singleFrameMessage(const CanFrame& frame, const FrameId& id, Token origin) {
    Message m;
    m.pgn = id.pgn;
    m.priority = id.priority;
    m.source = id.source;
    m.destination = id.destination;
    m.data.assign(frame.data.begin(), frame.data.begin() + frame.length);
    m.timestamp = frame.timestamp;
    m.origin = origin;
    return m;
}

} // namespace

Engine::Engine(const Clock& clock, EngineCallbacks callbacks, EngineOptions options)
    : clock_(clock), callbacks_(std::move(callbacks)), options_(std::move(options)) {
    if (!options_.random)
        options_.random = defaultRandom();
    options_.ctsWindow = std::max<uint8_t>(options_.ctsWindow, 1);
    options_.rtsMaxPackets = std::max<uint8_t>(options_.rtsMaxPackets, 1);
    const auto stamped = [this](const CanFrame& frame) {
        CanFrame f = frame;
        f.timestamp = clock_.now();
        return f;
    };
    transport_ = std::make_unique<Transport>(
        Transport::Hooks{[this, stamped](const CanFrame& frame) {
                             const CanFrame f = stamped(frame);
                             callbacks_.transmit(f);
                             if (!options_.ownerLoopsFramesBack)
                                 loopback_.push_back(f);
                         },
                         [this](Message&& m) { callbacks_.deliver(m); },
                         [this](const SendCompletion& c) { callbacks_.sendDone(c); },
                         [this](uint8_t address) { return claims_->protects(address); }},
        options_);
    claims_ = std::make_unique<AddressClaim>(
        AddressClaim::Hooks{[this, stamped](const CanFrame& frame, Token owner) {
                                const CanFrame f = stamped(frame);
                                callbacks_.transmit(f);
                                if (options_.deliverClaimFrames)
                                    callbacks_.deliver(singleFrameMessage(f, decodeId(f.id), owner));
                            },
                            [this](const ClaimEvent& e) { callbacks_.claimChanged(e); },
                            [this](uint8_t address) { transport_->stopAddress(address); }},
        options_.random);
}

Engine::~Engine() = default;

void Engine::onFrame(const CanFrame& frame) {
    if (!frame.extended || frame.length > 8)
        return;
    handleFrame(frame, decodeId(frame.id), false);
    drainLoopback();
}

// Whether a single frame of this PGN reaches the clients as a message.
bool Engine::deliverable(uint32_t pgn) const {
    if (pgn == pgn::kTpConnectionManagement || pgn == pgn::kTpDataTransfer)
        return false;
    return pgn != pgn::kAddressClaimed || options_.deliverClaimFrames;
}

void Engine::onOwnFrame(const CanFrame& frame) {
    if (!options_.ownerLoopsFramesBack || !frame.extended || frame.length > 8)
        return;
    const FrameId id = decodeId(frame.id);
    if (id.pgn == pgn::kTpConnectionManagement || id.pgn == pgn::kTpDataTransfer)
        transport_->onFrame(id, frame.bytes(), frame.timestamp, true, clock_.now());
}

// A frame on the bus, from another node or sent for a client (`ownSend`: the
// clients have had it already).
void Engine::handleFrame(const CanFrame& frame, const FrameId& id, bool ownSend) {
    const Micros now = clock_.now();
    const std::span<const uint8_t> d = frame.bytes();
    // Delivered before any answer, in bus order.
    if (!ownSend && deliverable(id.pgn))
        callbacks_.deliver(singleFrameMessage(frame, id, 0));
    switch (id.pgn) {
    case pgn::kTpConnectionManagement:
    case pgn::kTpDataTransfer:
        transport_->onFrame(id, d, frame.timestamp, false, now);
        break;
    case pgn::kAddressClaimed:
        if (d.size() == 8)
            claims_->onClaimed(id.source, nameAt(d), now);
        break;
    case pgn::kRequest:
        if (d.size() >= 3 && (d[0] | d[1] << 8 | uint32_t(d[2]) << 16) == pgn::kAddressClaimed)
            claims_->onRequest(id.destination, now);
        break;
    default:
        break;
    }
}

int Engine::send(const OutgoingMessage& message) {
    if (message.data.size() > kMaxTransport)
        return ERR_MESSAGE_TOO_LONG;
    if (message.pgn > kMaxPgn)
        return ERR_INVALID_COMMAND;
    if (claims_->takeLostReport(message.owner, message.source))
        return ERR_ADDRESS_LOST;
    // A single frame reuses one message buffer; a transfer keeps its own.
    Message transfer;
    Message& m = message.data.size() > kMaxSingleFrame ? transfer : single_;
    m.pgn = isPdu1(message.pgn) ? message.pgn & ~0xFFu : message.pgn;
    m.priority = message.priority & 0x7;
    m.source = message.source;
    const bool toDestination =
        isPdu1(message.pgn) || (message.peerToPeer && message.data.size() > kMaxSingleFrame);
    m.destination = toDestination ? message.destination : kGlobalAddress;
    m.data.assign(message.data.begin(), message.data.end());
    m.origin = message.origin;
    m.timestamp = clock_.now();

    if (m.data.size() > kMaxSingleFrame) {
        if (transport_->pendingSendCount() >= options_.maxPendingSends)
            return ERR_TX_QUEUE_FULL;
        transport_->send(std::move(m), clock_.now());
        drainLoopback();
        return 0;
    }
    CanFrame f;
    f.id = encodeId(m.priority, m.pgn, m.source, m.destination);
    f.length = uint8_t(m.data.size());
    std::copy(m.data.begin(), m.data.end(), f.data.begin());
    f.timestamp = m.timestamp;
    callbacks_.transmit(f);
    if (deliverable(m.pgn))
        callbacks_.deliver(m);
    callbacks_.sendDone({m.origin, 0, 0});
    handleFrame(f, decodeId(f.id), true);
    drainLoopback();
    return 0;
}

void Engine::drainLoopback() {
    if (draining_)
        return;
    draining_ = true;
    // Frames the transport sends may be answered by the transport itself;
    // handled in order, never recursively.
    for (std::size_t i = 0; i < loopback_.size(); ++i) {
        const CanFrame f = loopback_[i];
        transport_->onFrame(decodeId(f.id), f.bytes(), f.timestamp, true, clock_.now());
    }
    loopback_.clear();
    draining_ = false;
}

ClaimState Engine::claim(Token owner, uint8_t address, uint64_t name) {
    const ClaimState s = claims_->claim(owner, address, name, clock_.now());
    drainLoopback();
    return s;
}

void Engine::release(Token owner) {
    claims_->release(owner);
}

ClaimState Engine::claimState(Token owner) const {
    return claims_->state(owner);
}

uint8_t Engine::claimedAddress(Token owner) const {
    return claims_->address(owner);
}

bool Engine::addressUsable(Token owner) const {
    return claims_->usable(owner);
}

void Engine::poll() {
    const Micros now = clock_.now();
    claims_->poll(now);
    transport_->poll(now);
    drainLoopback();
}

Micros Engine::nextDeadline() const {
    return std::min(claims_->nextDeadline(), transport_->nextDeadline());
}

std::size_t Engine::receiveSessionCount() const {
    return transport_->receiveSessionCount();
}

std::size_t Engine::receiveBufferedBytes() const {
    return transport_->receiveBufferedBytes();
}

std::size_t Engine::pendingSendCount() const {
    return transport_->pendingSendCount();
}

} // namespace zt::j1939
