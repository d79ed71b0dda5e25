// Messages as the clients see them: parsing the transmit
// buffers handed to RP1210_SendMessage and building the receive buffers that
// RP1210_ReadMessage delivers.
#pragma once

#include "support/protocol.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zt {

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

// Milliseconds since the library was loaded; the receive timestamps.
uint32_t nowMs();

// The fields the receive filters look at, parsed once per message.
struct MessageInfo {
    Protocol protocol = Protocol::J1708;
    uint8_t mid = 0;  // J1708
    uint32_t pgn = 0; // J1939, 18 bits, low byte 0 for PDU1 formats
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = 0;
};

// One message: its filter fields and the complete receive buffer, whose first
// four bytes take the timestamp when the bus carries it.
struct Message {
    MessageInfo info;
    std::vector<uint8_t> bytes;

    std::span<const uint8_t> data() const; // J1939 data bytes
    void stamp(uint32_t milliseconds);
};

using MessagePtr = std::shared_ptr<Message>;
using SharedMessage = std::shared_ptr<const Message>;

uint8_t j1708Checksum(std::span<const uint8_t> bytes);

// mid and rest (PID and data) without checksum; the checksum is appended.
MessagePtr makeJ1708(uint8_t mid, std::span<const uint8_t> rest);
MessagePtr makeJ1850(uint8_t header, uint8_t target, uint8_t source, std::span<const uint8_t> data);
// PDU1 PGNs (PF below 240) carry the destination, their low byte is cleared;
// PDU2 PGNs have no destination and carry 0 in the destination byte.
MessagePtr makeJ1939(uint32_t pgn, uint8_t priority, uint8_t source, uint8_t destination,
                     std::span<const uint8_t> data);

// A J1708 message as on the wire (MID, PID, data, checksum), or nullptr when it
// is too short or too long to be delivered.
MessagePtr makeJ1708Wire(std::span<const uint8_t> wire);

// A J1939 transmit buffer's fields; data points into the buffer.
struct J1939Transmit {
    uint32_t pgn = 0;
    uint8_t how = 0; // bit 7: broadcast (BAM) even to one address; bits 0-2 priority
    uint8_t source = 0;
    uint8_t destination = 0;
    std::span<const uint8_t> data;
};
int parseJ1939Transmit(const uint8_t* bytes, int length, J1939Transmit& out);

// Turns a transmit buffer into a message. Returns 0 or an RP1210A error code
// (too long: ERR_MESSAGE_TOO_LONG; too short or malformed: ERR_INVALID_COMMAND).
int parseTransmit(Protocol protocol, const uint8_t* bytes, int length, MessagePtr& out);

} // namespace zt
