#pragma once
// One message as the monitor's reader takes it from a driver receive buffer:
// which row it belongs to, its addressing and its data bytes.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace monitor {

enum class BusProtocol : uint8_t { J1939 = 0, J1708 = 1 };

// A table row: J1939 messages by PGN and source address, J1708 messages by
// MID (source 0).
struct MessageKey {
    BusProtocol protocol = BusProtocol::J1939;
    uint32_t id = 0; // PGN or MID
    uint8_t source = 0;

    friend bool operator==(const MessageKey&, const MessageKey&) = default;
    friend auto operator<=>(const MessageKey&, const MessageKey&) = default;
};

struct MessageKeyHash {
    std::size_t operator()(const MessageKey& key) const noexcept {
        return std::hash<uint64_t>()((uint64_t(key.protocol) << 40) | (uint64_t(key.id) << 8) | key.source);
    }
};

struct BusFrame {
    MessageKey key;
    uint8_t priority = 0;    // J1939 only
    uint8_t destination = 0; // J1939 only; 0xFF for broadcasts
    std::span<const uint8_t> data;
};

// Receive buffers as the driver delivers them: a 4-byte timestamp, then for
// J1939 the PGN (3 bytes, least significant first), priority, source and
// destination before the data; for J1708 the MID before the data. A buffer
// too short for its header gives nothing.
std::optional<BusFrame> parseJ1939Buffer(std::span<const uint8_t> buffer);
std::optional<BusFrame> parseJ1708Buffer(std::span<const uint8_t> buffer);

// The 29-bit CAN identifier the J1939 frame was sent with (PDU1 PGNs carry
// the destination in their low byte).
uint32_t canIdentifier(const BusFrame& frame);

} // namespace monitor
