#include "monitor/bus_frame.h"

namespace monitor {

namespace {
constexpr std::size_t kTimestampSize = 4;
constexpr std::size_t kJ1939Header = kTimestampSize + 6;
constexpr std::size_t kJ1708Header = kTimestampSize + 1;
constexpr uint32_t kPgnMask = 0x3FFFF; // data page, extended data page, PF, PS
} // namespace

std::optional<BusFrame> parseJ1939Buffer(std::span<const uint8_t> buffer) {
    if (buffer.size() < kJ1939Header)
        return std::nullopt;
    BusFrame frame;
    const uint32_t pgn = uint32_t(buffer[4]) | (uint32_t(buffer[5]) << 8) | (uint32_t(buffer[6]) << 16);
    frame.key.protocol = BusProtocol::J1939;
    frame.key.id = pgn & kPgnMask;
    // A PDU1 PGN names no destination in its low byte; a driver that leaves
    // the destination there must not split one message into 256 rows.
    if (((frame.key.id >> 8) & 0xFF) < 240)
        frame.key.id &= ~uint32_t(0xFF);
    frame.priority = buffer[7] & 0x07;
    frame.key.source = buffer[8];
    frame.destination = buffer[9];
    frame.data = buffer.subspan(kJ1939Header);
    return frame;
}

std::optional<BusFrame> parseJ1708Buffer(std::span<const uint8_t> buffer) {
    if (buffer.size() < kJ1708Header)
        return std::nullopt;
    BusFrame frame;
    frame.key.protocol = BusProtocol::J1708;
    frame.key.id = buffer[4];
    frame.data = buffer.subspan(kJ1708Header);
    return frame;
}

uint32_t canIdentifier(const BusFrame& frame) {
    uint32_t id = (uint32_t(frame.priority) << 26) | (frame.key.id << 8) | frame.key.source;
    if (((frame.key.id >> 8) & 0xFF) < 240)
        id |= uint32_t(frame.destination) << 8;
    return id;
}

} // namespace monitor
