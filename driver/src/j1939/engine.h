// The J1939 protocol engine of one device: single frames, the transport
// protocol (BAM, RTS/CTS, passive following of other nodes' transfers) and
// the address claim, on 8-byte CAN frames.
//
// It is a pure state machine. It has no threads, takes no locks, never sleeps
// and reads time only from the Clock it is given. Its owner (the device)
// calls it under the owner's own mutex, from any thread, one call at a time:
//   - onFrame() for every frame another node put on the link;
//   - send(), claim(), release() for the clients;
//   - poll() when nextDeadline() has come (and may call it any time).
// Everything the engine produces goes out through the callbacks below, called
// synchronously from inside those calls. A callback must only queue work
// (e.g. frames into an outbox the owner flushes to the link after unlocking,
// messages into the clients' queues); it must never call back into the engine.
//
// Frames the engine sends are also fed back to itself (a link never hands a
// node its own frames; see EngineOptions::ownerLoopsFramesBack), so the
// device's own clients act as nodes towards each other: an RTS from one owner
// to an address another protects is answered by this engine, and a Request
// for Address Claimed from a client is answered for every protected address.
#pragma once

#include "j1939/j1939.h"
#include "links/link.h"
#include "support/clock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace zt::j1939 {

// Opaque to the engine; 0 means "none".
using Token = uint64_t;

// A whole J1939 message: a single frame, or a transfer reassembled.
struct Message {
    uint32_t pgn = 0; // 18 bits; PDU1 PGNs have low byte 0
    uint8_t priority = kDefaultPriority;
    uint8_t source = 0;
    uint8_t destination = kGlobalAddress; // 255 for PDU2 PGNs
    std::vector<uint8_t> data;            // 0..1785 bytes
    Micros timestamp = 0;                 // when its last frame was on the bus
    // The send()'s origin when this engine sent the message itself, else 0;
    // the client layer applies its echo rule with it.
    Token origin = 0;
};

struct OutgoingMessage {
    uint32_t pgn = 0; // 18 bits; a PDU1 PGN's low byte is ignored (destination is used)
    uint8_t priority = kDefaultPriority;
    uint8_t source = 0;
    uint8_t destination = kGlobalAddress; // ignored (global) for PDU2 PGNs unless peerToPeer
    std::span<const uint8_t> data;        // copied by send()
    // A PDU2 message of over 8 bytes goes to destination by RTS/CTS (as an
    // answer to one requester does) instead of to global by BAM.
    bool peerToPeer = false;
    Token origin = 0; // handed back in the completion and in Message::origin
    Token owner = 0;  // the claim owner sending, for the address-lost report
};

// The end of an accepted send: result 0 when the message was on the bus
// (for RTS/CTS: acknowledged by End of Message Acknowledgment), else
// ERR_TXMESSAGE_STATUS (145) aborted by the peer (abortReason set),
// ERR_HARDWARE_NOT_RESPONDING (142) timed out (abortReason 3) or
// ERR_ADDRESS_LOST (153) the source address was lost during the transfer.
struct SendCompletion {
    Token origin = 0;
    int result = 0;
    uint8_t abortReason = 0;
};

enum class ClaimState : uint8_t {
    None = 0,     // no claim (never claimed or released)
    Claiming = 1, // Address Claimed sent, waiting 250 ms for contention
    Claimed = 2,  // held
    Lost = 3,     // held, then taken by a node with a lower NAME
    Failed = 4,   // contention lost while claiming, or no room for the claim
};

struct ClaimEvent {
    Token owner = 0;
    uint8_t address = kNullAddress;
    uint64_t name = 0;
    ClaimState state = ClaimState::None;
};

struct EngineCallbacks {
    std::function<void(const CanFrame&)> transmit; // a frame for the link
    // A message for the clients: single frames of other nodes, transfers
    // reassembled (answered or followed), and each message this engine sent
    // (once, whole, when it is done, with its origin). TP.CM/TP.DT frames
    // are never delivered; claim frames as deliverClaimFrames says.
    std::function<void(const Message&)> deliver;
    // Exactly once per accepted send, also when its client has gone
    // meanwhile (ignore unknown origins). Sends still pending when the
    // engine is destroyed get none.
    std::function<void(const SendCompletion&)> sendDone;
    std::function<void(const ClaimEvent&)> claimChanged; // every change of a claim's state
};

struct EngineOptions {
    Micros bamPacketGap = timeout::kBamGapMin;
    // Packets asked for in one CTS when this engine receives (1..255).
    uint8_t ctsWindow = 16;
    // The RTS's maximum-packets-per-CTS field when this engine sends (1..255).
    uint8_t rtsMaxPackets = 255;
    // CTS re-requests of lost packets of one window before a receive is
    // aborted (reason 5).
    uint8_t maxRetransmits = 2;
    // Transfers being received or followed at once; beyond it an RTS to us is
    // aborted (reason 2) and other transfers are not followed.
    std::size_t maxReceiveSessions = 32;
    // Accepted sends waiting for or in transfer; beyond it ERR_TX_QUEUE_FULL.
    std::size_t maxPendingSends = 256;
    // Deliver Address Claimed / Cannot Claim frames to the clients as
    // messages, those of other nodes and this engine's own (tagged with the
    // claim owner's token as origin, for the echo rule).
    bool deliverClaimFrames = true;
    // Frames the engine transmits are fed back to it at once. With this set,
    // the owner does it instead: it hands each transmitted frame to
    // onOwnFrame() once the link has put it on the bus, so transfers between
    // the device's own clients take the bus's time.
    bool ownerLoopsFramesBack = false;
    // 0..153 ms delay of a Cannot Claim answering a Request; uniform random
    // source, replaceable for tests. Default: a fixed-seed generator.
    std::function<uint32_t()> random;
};

constexpr Micros kNoDeadline = INT64_MAX;

class Transport;
class AddressClaim;

class Engine {
public:
    Engine(const Clock& clock, EngineCallbacks callbacks, EngineOptions options = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // A frame another node put on the link (frame.timestamp is kept on the
    // messages built from it). 11-bit frames are ignored.
    void onFrame(const CanFrame& frame);

    // A frame this engine transmitted, now on the bus (only with
    // ownerLoopsFramesBack; frames other than TP.CM/TP.DT are ignored).
    void onOwnFrame(const CanFrame& frame);

    // Sends a message: 0..8 bytes as one frame, 9..1785 through the transport
    // protocol (BAM to global, RTS/CTS to one address). Transfers between the
    // same source and destination go one after another. Returns 0 when
    // accepted (then sendDone follows exactly once, for a single frame before
    // send() returns), or an error and no sendDone:
    // ERR_MESSAGE_TOO_LONG (over 1785 bytes), ERR_INVALID_COMMAND (PGN over
    // 18 bits), ERR_TX_QUEUE_FULL, or ERR_ADDRESS_LOST once, on the first send
    // by an owner from the address it lost.
    int send(const OutgoingMessage& message);

    // Protects `address` (0..253) with `name` for `owner`, giving up the
    // owner's previous address. Returns the state at once: Claimed when the
    // owner already holds the address (no new wait), Failed when another owner
    // of this engine holds it with a lower or equal NAME or 16 addresses are
    // protected already, else Claiming; claimChanged reports Claimed 250 ms
    // later unless contention decides otherwise.
    ClaimState claim(Token owner, uint8_t address, uint64_t name);
    // Gives up the owner's address (nothing is sent) and forgets its state.
    void release(Token owner);
    ClaimState claimState(Token owner) const;
    // The owner's claimed or claiming address, 254 when none.
    uint8_t claimedAddress(Token owner) const;
    // True once the owner may use its address: Claimed, or Claiming an
    // address in 0..127 / 248..253.
    bool addressUsable(Token owner) const;

    // Runs the timers that are due at clock.now().
    void poll();
    // When poll() next has work; kNoDeadline when nothing waits. Changes
    // after every call into the engine.
    Micros nextDeadline() const;

    // Memory bounds, for tests and the fuzzer.
    std::size_t receiveSessionCount() const;
    std::size_t receiveBufferedBytes() const;
    std::size_t pendingSendCount() const;

private:
    void handleFrame(const CanFrame& frame, const FrameId& id, bool ownSend);
    bool deliverable(uint32_t pgn) const;
    void drainLoopback();

    const Clock& clock_;
    EngineCallbacks callbacks_;
    EngineOptions options_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<AddressClaim> claims_;
    std::vector<CanFrame> loopback_;
    Message single_; // the single frame being sent
    bool draining_ = false;
};

} // namespace zt::j1939
