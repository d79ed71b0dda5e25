#include "diagnostics/network_model.h"

#include "decode/pgns.h"

#include <algorithm>

namespace diagnostics {

NetworkModel::NetworkModel(ClockFunction clock) : clock_(std::move(clock)) {}

Node& NetworkModel::nodeAt(uint8_t address) {
    auto [at, added] = nodes_.try_emplace(address);
    if (added)
        at->second.address = address;
    return at->second;
}

const Node* NetworkModel::node(uint8_t address) const {
    auto at = nodes_.find(address);
    return at == nodes_.end() ? nullptr : &at->second;
}

void NetworkModel::reset() {
    nodes_.clear();
    ++generation_;
}

bool NetworkModel::apply(const J1939Message& message) {
    const TimePoint now = clock_();
    // The null address only ever says "cannot claim": no node to list.
    if (message.source == kNullAddress || message.source == kGlobalAddress)
        return false;
    if (message.pgn == decode::kPgnAddressClaimed) {
        applyAddressClaimed(message);
    } else if (message.pgn == decode::kPgnAcknowledgment) {
        applyAcknowledgment(message);
    } else {
        // Messages of other kinds only say a node is there once it is known;
        // a node is listed when it claims or answers.
        const bool diagnostic = message.pgn == decode::kPgnDm1 || message.pgn == decode::kPgnDm2 ||
                                message.pgn == decode::kPgnComponentId ||
                                message.pgn == decode::kPgnSoftwareId || message.pgn == decode::kPgnEcuId ||
                                message.pgn == decode::kPgnVin;
        if (!diagnostic && !nodes_.contains(message.source))
            return false;
        Node& node = nodeAt(message.source);
        const std::span<const uint8_t> data(message.data);
        switch (message.pgn) {
        case decode::kPgnDm1:
            if (auto codes = decode::decodeDm1Layout(data)) {
                node.active = std::move(*codes);
                node.activeReceived = now;
                node.activeStale = false;
            }
            break;
        case decode::kPgnDm2:
            if (auto codes = decode::decodeDm1Layout(data))
                node.previouslyActive = std::move(*codes);
            break;
        case decode::kPgnComponentId:
            node.componentId = decode::splitIdFields(data);
            break;
        case decode::kPgnSoftwareId:
            node.softwareId = decode::splitSoftwareId(data);
            break;
        case decode::kPgnEcuId:
            node.ecuId = decode::splitIdFields(data);
            break;
        case decode::kPgnVin:
            node.vin = decode::splitIdFields(data);
            break;
        default:
            break;
        }
    }
    if (Node* heard = nodes_.contains(message.source) ? &nodes_[message.source] : nullptr)
        heard->lastHeard = now;
    ++generation_;
    return true;
}

bool NetworkModel::applyAddressClaimed(const J1939Message& message) {
    if (message.data.size() < 8)
        return false;
    const uint64_t name = decode::nameFromBytes(std::span<const uint8_t>(message.data).first(8));
    // A NAME heard at a new address has moved: what was known under the old
    // address belongs to it no more.
    for (auto at = nodes_.begin(); at != nodes_.end();) {
        if (at->first != message.source && at->second.name == name)
            at = nodes_.erase(at);
        else
            ++at;
    }
    Node& node = nodeAt(message.source);
    if (node.name && *node.name != name) {
        // Another ECU took this address: start its record afresh.
        node = Node{};
        node.address = message.source;
    }
    node.name = name;
    return true;
}

bool NetworkModel::applyAcknowledgment(const J1939Message& message) {
    const auto acknowledgment = decode::decodeAcknowledgment(std::span<const uint8_t>(message.data));
    if (!acknowledgment)
        return false;
    ClearKind kind;
    if (acknowledgment->pgn == decode::kPgnDm11)
        kind = ClearKind::Active;
    else if (acknowledgment->pgn == decode::kPgnDm3)
        kind = ClearKind::PreviouslyActive;
    else
        return false;
    Node& node = nodeAt(message.source);
    ClearState& clear = node.clear(kind);
    switch (acknowledgment->control) {
    case 0:
        clear.outcome = ClearOutcome::Positive;
        break;
    case 1:
        clear.outcome = ClearOutcome::Negative;
        break;
    case 2:
        clear.outcome = ClearOutcome::AccessDenied;
        break;
    case 3:
        clear.outcome = ClearOutcome::CannotRespond;
        break;
    default:
        return false;
    }
    // A positive answer to DM3 means the node has no previously active
    // codes now; what it showed before is gone.
    if (clear.outcome == ClearOutcome::Positive && kind == ClearKind::PreviouslyActive &&
        node.previouslyActive)
        node.previouslyActive->codes.clear();
    return true;
}

std::vector<uint8_t> NetworkModel::clearRequested(ClearKind kind, uint8_t destination) {
    const TimePoint deadline = clock_() + kAcknowledgmentTimeout;
    std::vector<uint8_t> waiting;
    auto wait = [&](Node& node) {
        node.clear(kind) = ClearState{ClearOutcome::Waiting, deadline};
        waiting.push_back(node.address);
    };
    if (destination == kGlobalAddress) {
        for (auto& [address, node] : nodes_)
            wait(node);
    } else {
        wait(nodeAt(destination));
    }
    ++generation_;
    return waiting;
}

bool NetworkModel::updateTimes() {
    const TimePoint now = clock_();
    bool changed = false;
    for (auto& [address, node] : nodes_) {
        const bool stale = node.active && now - node.activeReceived >= kStaleAfter;
        if (stale != node.activeStale) {
            node.activeStale = stale;
            changed = true;
        }
        for (ClearKind kind : {ClearKind::Active, ClearKind::PreviouslyActive}) {
            ClearState& clear = node.clear(kind);
            if (clear.outcome == ClearOutcome::Waiting && now >= clear.deadline) {
                clear.outcome = ClearOutcome::TimedOut;
                changed = true;
            }
        }
    }
    if (changed)
        ++generation_;
    return changed;
}

std::vector<std::string> NetworkModel::vin() const {
    if (const Node* engine = node(0); engine && engine->vin)
        return *engine->vin;
    for (const auto& [address, node] : nodes_)
        if (node.vin)
            return *node.vin;
    return {};
}

} // namespace diagnostics
