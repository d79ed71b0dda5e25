#include "clients/messages.h"

#include "support/clock.h"

#include <rp1210a/rp1210a.h>

#include <cstring>

namespace zt {

uint32_t nowMs() {
    return static_cast<uint32_t>(systemClock().now() / kMicrosPerMs);
}

std::span<const uint8_t> Message::data() const {
    constexpr std::size_t head = kTimestampSize + 6;
    if (bytes.size() <= head)
        return {};
    return std::span<const uint8_t>(bytes).subspan(head);
}

void Message::stamp(uint32_t ms) {
    bytes[0] = static_cast<uint8_t>(ms >> 24);
    bytes[1] = static_cast<uint8_t>(ms >> 16);
    bytes[2] = static_cast<uint8_t>(ms >> 8);
    bytes[3] = static_cast<uint8_t>(ms);
}

uint8_t j1708Checksum(std::span<const uint8_t> bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes)
        sum += b;
    return static_cast<uint8_t>(-sum);
}

MessagePtr makeJ1708(uint8_t mid, std::span<const uint8_t> rest) {
    auto f = std::make_shared<Message>();
    f->info.protocol = Protocol::J1708;
    f->info.mid = mid;
    f->bytes.reserve(kTimestampSize + 2 + rest.size());
    f->bytes.assign(kTimestampSize, 0);
    f->bytes.push_back(mid);
    f->bytes.insert(f->bytes.end(), rest.begin(), rest.end());
    f->bytes.push_back(j1708Checksum(std::span<const uint8_t>(f->bytes).subspan(kTimestampSize)));
    return f;
}

MessagePtr makeJ1708Wire(std::span<const uint8_t> wire) {
    if (wire.size() < 3 || wire.size() > kJ1708MaxReceive - kTimestampSize)
        return nullptr;
    auto f = std::make_shared<Message>();
    f->info.protocol = Protocol::J1708;
    f->info.mid = wire[0];
    f->bytes.reserve(kTimestampSize + wire.size());
    f->bytes.assign(kTimestampSize, 0);
    f->bytes.insert(f->bytes.end(), wire.begin(), wire.end());
    return f;
}

MessagePtr makeJ1850(uint8_t header, uint8_t target, uint8_t source, std::span<const uint8_t> data) {
    auto f = std::make_shared<Message>();
    f->info.protocol = Protocol::J1850;
    f->info.priority = static_cast<uint8_t>(header >> 5);
    f->info.source = source;
    f->info.destination = target;
    f->bytes.reserve(kTimestampSize + 7 + data.size());
    f->bytes.assign(kTimestampSize, 0);
    // Bytes 4 to 7: header length, reserved, data count, reserved.
    const uint8_t info[] = {3, 0, static_cast<uint8_t>(data.size()), 0, header, target, source};
    f->bytes.insert(f->bytes.end(), std::begin(info), std::end(info));
    f->bytes.insert(f->bytes.end(), data.begin(), data.end());
    return f;
}

MessagePtr makeJ1939(uint32_t pgn, uint8_t priority, uint8_t source, uint8_t destination,
                     std::span<const uint8_t> data) {
    pgn &= 0x3FFFF;
    const uint8_t pf = static_cast<uint8_t>(pgn >> 8);
    if (pf < 240)
        pgn &= ~0xFFu;
    else
        destination = 0;
    auto f = std::make_shared<Message>();
    f->info.protocol = Protocol::J1939;
    f->info.pgn = pgn;
    f->info.priority = static_cast<uint8_t>(priority & 7);
    f->info.source = source;
    f->info.destination = destination;
    f->bytes.resize(kTimestampSize + 6 + data.size());
    uint8_t* out = f->bytes.data() + kTimestampSize;
    out[0] = static_cast<uint8_t>(pgn);
    out[1] = static_cast<uint8_t>(pgn >> 8);
    out[2] = static_cast<uint8_t>(pgn >> 16);
    out[3] = f->info.priority;
    out[4] = source;
    out[5] = destination;
    if (!data.empty())
        std::memcpy(out + 6, data.data(), data.size());
    return f;
}

int parseJ1939Transmit(const uint8_t* b, int length, J1939Transmit& out) {
    if (b == nullptr || length <= 0)
        return ERR_INVALID_COMMAND;
    const auto n = static_cast<std::size_t>(length);
    if (n > kJ1939Prefix + kJ1939MaxData)
        return ERR_MESSAGE_TOO_LONG;
    if (n < kJ1939Prefix)
        return ERR_INVALID_COMMAND;
    out.pgn = b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16);
    if (out.pgn > 0x3FFFF)
        return ERR_INVALID_COMMAND;
    out.how = b[3];
    out.source = b[4];
    out.destination = b[5];
    out.data = std::span<const uint8_t>(b + kJ1939Prefix, n - kJ1939Prefix);
    return RP1210_NO_ERRORS;
}

int parseTransmit(Protocol protocol, const uint8_t* b, int length, MessagePtr& out) {
    if (b == nullptr || length <= 0)
        return ERR_INVALID_COMMAND;
    const auto n = static_cast<std::size_t>(length);
    switch (protocol) {
    case Protocol::J1708: {
        // priority (1 highest .. 8 lowest; 0 is taken as 8), MID, PID, data
        if (n > kJ1708MaxTransmit)
            return ERR_MESSAGE_TOO_LONG;
        if (n < kJ1708MinTransmit || b[0] > 8)
            return ERR_INVALID_COMMAND;
        out = makeJ1708(b[1], std::span<const uint8_t>(b + 2, n - 2));
        out->info.priority = b[0] == 0 ? 8 : b[0];
        return RP1210_NO_ERRORS;
    }
    case Protocol::J1850: {
        // 3 (header length), reserved, data count, header, target, source, data
        if (n > kJ1850Prefix + kJ1850MaxData)
            return ERR_MESSAGE_TOO_LONG;
        if (n < kJ1850Prefix || b[0] != 3 || b[2] != n - kJ1850Prefix)
            return ERR_INVALID_COMMAND;
        out = makeJ1850(b[3], b[4], b[5], std::span<const uint8_t>(b + kJ1850Prefix, n - kJ1850Prefix));
        return RP1210_NO_ERRORS;
    }
    case Protocol::J1939: {
        // PGN (3 bytes, least significant first), how/priority, source, destination, data
        if (n > kJ1939Prefix + kJ1939MaxData)
            return ERR_MESSAGE_TOO_LONG;
        if (n < kJ1939Prefix)
            return ERR_INVALID_COMMAND;
        const uint32_t pgn = b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16);
        if (pgn > 0x3FFFF)
            return ERR_INVALID_COMMAND;
        out = makeJ1939(pgn, b[3] & 7, b[4], b[5],
                        std::span<const uint8_t>(b + kJ1939Prefix, n - kJ1939Prefix));
        return RP1210_NO_ERRORS;
    }
    }
    return ERR_INVALID_COMMAND;
}

} // namespace zt
