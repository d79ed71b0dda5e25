// J1939 message filters of a client: the records of the filter command.
#pragma once

#include "clients/messages.h"

#include <cstddef>
#include <cstdint>

namespace zt {

constexpr std::size_t kMaxJ1939Filters = 1024;

struct J1939Filter {
    uint8_t flags = 0;
    uint32_t pgn = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = 0;

    bool matches(const MessageInfo& m) const;
    bool operator==(const J1939Filter&) const = default;
};

// Parses one 7-byte filter record: flags, PGN (least significant first),
// priority, source, destination.
J1939Filter parseJ1939Filter(const uint8_t* record);

} // namespace zt
