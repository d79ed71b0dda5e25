#pragma once
// J1939 messages as the driver hands them over and takes them: the receive
// buffer read into its parts, and the transmit buffer of a Request.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace diagnostics {

inline constexpr uint8_t kGlobalAddress = 0xFF;
inline constexpr uint8_t kNullAddress = 0xFE;

struct J1939Message {
    uint32_t pgn = 0; // PDU1: low byte 0, the destination is apart
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = kGlobalAddress;
    std::vector<uint8_t> data;
};

// A receive buffer: 4-byte timestamp, PGN (3 bytes, least significant
// first), priority, source, destination, data. Nothing when it is shorter
// than that head.
std::optional<J1939Message> parseReceiveBuffer(std::span<const uint8_t> buffer);

// The transmit buffer of a Request (PGN 59904) for requestedPgn, from source
// to destination (255: every node), at priority 6.
std::vector<uint8_t> requestBuffer(uint32_t requestedPgn, uint8_t source, uint8_t destination);

} // namespace diagnostics
