#pragma once
// What the Diagnostics window knows of the J1939 network: the nodes by
// address with their NAMEs, identification strings and trouble codes, the
// answers to clear requests, and the time-based states (a DM1 gone stale, a
// clear left unanswered). Pure logic on an injected clock; the window feeds it
// the received messages and reads it back.

#include "decode/builtin.h"
#include "diagnostics/j1939_message.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace diagnostics {

using TimePoint = std::chrono::steady_clock::time_point;
using ClockFunction = std::function<TimePoint()>;

enum class ClearKind { Active, PreviouslyActive }; // DM11, DM3

enum class ClearOutcome { None, Waiting, Positive, Negative, AccessDenied, CannotRespond, TimedOut };

struct ClearState {
    ClearOutcome outcome = ClearOutcome::None;
    TimePoint deadline{};
};

struct Node {
    uint8_t address = 0;
    std::optional<uint64_t> name; // from its Address Claimed
    TimePoint lastHeard{};
    // Identification strings split at their '*' delimiters; nothing until
    // the node answered.
    std::optional<std::vector<std::string>> componentId;
    std::optional<std::vector<std::string>> softwareId;
    std::optional<std::vector<std::string>> ecuId;
    std::optional<std::vector<std::string>> vin;
    std::optional<decode::DiagnosticCodes> active; // latest DM1
    TimePoint activeReceived{};
    bool activeStale = false;
    std::optional<decode::DiagnosticCodes> previouslyActive; // latest DM2
    ClearState clearActive;
    ClearState clearPreviouslyActive;

    ClearState& clear(ClearKind kind) {
        return kind == ClearKind::Active ? clearActive : clearPreviouslyActive;
    }
    const ClearState& clear(ClearKind kind) const {
        return kind == ClearKind::Active ? clearActive : clearPreviouslyActive;
    }
};

class NetworkModel {
public:
    // A DM1 comes once a second; three missed ones mark its codes stale.
    static constexpr std::chrono::milliseconds kStaleAfter{3000};
    // How long a node has to acknowledge a clear request.
    static constexpr std::chrono::milliseconds kAcknowledgmentTimeout{1250};

    explicit NetworkModel(ClockFunction clock = [] { return std::chrono::steady_clock::now(); });

    // Takes one received message. Returns whether anything shown changed
    // (a message that only refreshes "last heard" counts).
    bool apply(const J1939Message& message);
    // A clear request went to destination (255: every node); the nodes it
    // concerns wait for their acknowledgment from now on. Returns the
    // addresses now waiting.
    std::vector<uint8_t> clearRequested(ClearKind kind, uint8_t destination);
    // Re-evaluates what depends on time: stale DM1s, clears timed out.
    // Returns whether anything changed.
    bool updateTimes();
    // Forgets every node (a new connection).
    void reset();

    const std::map<uint8_t, Node>& nodes() const { return nodes_; }
    const Node* node(uint8_t address) const;
    // The VIN's fields: the engine's (address 0) when it answered, else the
    // first node's that did. Empty when none has.
    std::vector<std::string> vin() const;
    TimePoint now() const { return clock_(); }
    // Changes whenever anything shown changes.
    uint64_t generation() const { return generation_; }

private:
    Node& nodeAt(uint8_t address);
    bool applyAddressClaimed(const J1939Message& message);
    bool applyAcknowledgment(const J1939Message& message);

    ClockFunction clock_;
    std::map<uint8_t, Node> nodes_;
    uint64_t generation_ = 0;
};

} // namespace diagnostics
