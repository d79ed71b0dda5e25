#include "diagnostics/j1939_message.h"

#include "decode/pgns.h"

namespace diagnostics {

namespace {
constexpr std::size_t kReceiveHead = 10;
constexpr uint8_t kRequestPriority = 6;
} // namespace

std::optional<J1939Message> parseReceiveBuffer(std::span<const uint8_t> buffer) {
    if (buffer.size() < kReceiveHead)
        return std::nullopt;
    J1939Message message;
    message.pgn = uint32_t(buffer[4]) | uint32_t(buffer[5]) << 8 | uint32_t(buffer[6] & 0x03) << 16;
    message.priority = buffer[7];
    message.source = buffer[8];
    message.destination = buffer[9];
    message.data.assign(buffer.begin() + kReceiveHead, buffer.end());
    return message;
}

std::vector<uint8_t> requestBuffer(uint32_t requestedPgn, uint8_t source, uint8_t destination) {
    const uint32_t request = decode::kPgnRequest;
    return {uint8_t(request),
            uint8_t(request >> 8),
            uint8_t(request >> 16),
            kRequestPriority,
            source,
            destination,
            uint8_t(requestedPgn),
            uint8_t(requestedPgn >> 8),
            uint8_t(requestedPgn >> 16)};
}

} // namespace diagnostics
