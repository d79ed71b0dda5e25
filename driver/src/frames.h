// Messages as they travel on the simulated buses: parsing the transmit
// buffers handed to RP1210_SendMessage and building the receive buffers that
// RP1210_ReadMessage delivers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zt {

enum class Protocol : uint8_t { J1708 = 1, J1850 = 2, J1939 = 3 };

constexpr uint8_t kGlobalAddress = 0xFF;
constexpr uint8_t kNullAddress = 0xFE;
constexpr uint32_t kPgnRequest = 0xEA00;        // 59904
constexpr uint32_t kPgnAddressClaimed = 0xEE00; // 60928
constexpr uint32_t kPgnAcknowledgment = 0xE800; // 59392

// Size limits. The receive limits match the largest buffers RP1210A readers
// hand in (505, 255 and 1785 bytes); the transmit limits follow from them so
// that every message sent can be read back whole.
constexpr std::size_t kTimestampSize = 4;
constexpr std::size_t kJ1708MaxReceive = 505;
constexpr std::size_t kJ1708MinTransmit = 3;                                           // priority, MID, PID
constexpr std::size_t kJ1708MaxTransmit = 1 + (kJ1708MaxReceive - kTimestampSize - 1); // 501
constexpr std::size_t kJ1850Prefix = 6;                                                // 3, 0, count, header
constexpr std::size_t kJ1850MaxData = 255 - 11;                                        // 244
constexpr std::size_t kJ1939Prefix = 6;                                                // PGN, how, src, dst
constexpr std::size_t kJ1939MaxData = 1785;

// The fields the receive filters look at, parsed once per message.
struct FrameInfo {
    Protocol protocol = Protocol::J1708;
    uint8_t mid = 0;  // J1708
    uint32_t pgn = 0; // J1939, 18 bits, low byte 0 for PDU1 formats
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = 0;
};

// One message: its filter fields and the complete receive buffer, whose first
// four bytes take the timestamp when the bus carries it.
struct Frame {
    FrameInfo info;
    std::vector<uint8_t> bytes;

    std::span<const uint8_t> data() const; // J1939 data bytes
    void stamp(uint32_t milliseconds);
};

using FramePtr = std::shared_ptr<Frame>;
using SharedFrame = std::shared_ptr<const Frame>;

uint8_t j1708Checksum(std::span<const uint8_t> bytes);

// mid and rest (PID and data) without checksum; the checksum is appended.
FramePtr makeJ1708(uint8_t mid, std::span<const uint8_t> rest);
FramePtr makeJ1850(uint8_t header, uint8_t target, uint8_t source, std::span<const uint8_t> data);
// PDU1 PGNs (PF below 240) carry the destination, their low byte is cleared;
// PDU2 PGNs have no destination and carry 0 in the destination byte.
FramePtr makeJ1939(uint32_t pgn, uint8_t priority, uint8_t source, uint8_t destination,
                   std::span<const uint8_t> data);

// Turns a transmit buffer into a frame. Returns 0 or an RP1210A error code
// (too long: ERR_MESSAGE_TOO_LONG; too short or malformed: ERR_INVALID_COMMAND).
int parseTransmit(Protocol protocol, const uint8_t* bytes, int length, FramePtr& out);

} // namespace zt
