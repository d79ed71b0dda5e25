// The links: how a device reaches its buses. A CAN link carries 8-byte frames
// with 29-bit (or 11-bit) identifiers; a J1708 link carries whole messages.
// The J1939 engine and the client layer above see only these interfaces and
// never ask which kind of link they have.
#pragma once

#include "support/clock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace zt {

struct CanFrame {
    uint32_t id = 0; // 29 bits when extended, else 11 bits; no flag bits
    bool extended = true;
    uint8_t length = 0; // 0..8
    std::array<uint8_t, 8> data{};
    Micros timestamp = 0; // when the frame was on the bus, driver time base

    std::span<const uint8_t> bytes() const { return {data.data(), length}; }
};

enum class BusState : uint8_t { ErrorActive = 0, ErrorWarning = 1, ErrorPassive = 2, BusOff = 3 };

// Why a link could not open or stopped working: an RP1210A error code and a
// text that names the cause for the user ("can0 is down").
struct LinkError {
    int code = 0;
    std::string text;

    explicit operator bool() const { return code != 0; }
};

class CanLink {
public:
    // Called for every frame another node put on the bus, on a thread of the
    // link's choosing (the sender's on the in-process bus, a reader thread on a
    // real one). Never called for the link's own sends. It must return quickly
    // and must not call send() on any link.
    using FrameHandler = std::function<void(const CanFrame&)>;
    // Called when the link fails for good (adapter unplugged) or its bus state
    // changes; same threading rules as the frame handler.
    using StateHandler = std::function<void(BusState, const LinkError&)>;

    virtual ~CanLink() = default;

    virtual LinkError open(FrameHandler onFrame, StateHandler onState) = 0;
    // No handler runs once close() has returned.
    virtual void close() = 0;
    // Puts one frame on the bus. Returns 0 when the link took it, or an RP1210A
    // error code (bus off, transmit time-out, link gone).
    virtual int send(const CanFrame& frame) = 0;
    virtual BusState busState() const = 0;
    // A link that paces its bus may hand the node its own frames too, each
    // once its wire time has passed, so the node's own transfers take the
    // bus's time. Call before open(); false when the link does not.
    virtual bool setOwnFrameHandler(FrameHandler /*onOwnFrame*/) { return false; }
    // "socketcan:can0", "slcan:/dev/ttyACM0", "virtual:101"
    virtual std::string name() const = 0;
};

// One J1708 message as on the wire: MID, data, checksum.
struct J1708Message {
    std::vector<uint8_t> bytes;
    Micros timestamp = 0;
};

// Whether a J1708 line gives our own messages back: found out at the first
// send, or set by the device key J1708Echo=Yes|No.
enum class J1708Echo : uint8_t { Detect, Yes, No };

class J1708Link {
public:
    using MessageHandler = std::function<void(const J1708Message&)>;

    virtual ~J1708Link() = default;

    virtual LinkError open(MessageHandler onMessage) = 0;
    virtual void close() = 0;
    // message: MID, data and checksum. priority (1..8) sets how long the line
    // must be idle before the message may start.
    virtual int send(std::span<const uint8_t> message, int priority) = 0;
    virtual std::string name() const = 0;
    // False for a line that does not give our own messages back, on which
    // collisions cannot be seen.
    virtual bool lineEchoes() const { return true; }
};

} // namespace zt
