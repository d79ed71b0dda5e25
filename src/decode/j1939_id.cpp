#include "decode/j1939_id.h"

namespace decode {

J1939Id splitJ1939Id(uint32_t id29) {
    J1939Id id;
    id.priority = static_cast<uint8_t>((id29 >> 26) & 0x7);
    id.extendedDataPage = (id29 >> 25) & 1;
    id.dataPage = (id29 >> 24) & 1;
    id.pduFormat = static_cast<uint8_t>(id29 >> 16);
    id.pduSpecific = static_cast<uint8_t>(id29 >> 8);
    id.source = static_cast<uint8_t>(id29);
    id.pgn = pgnOfId(id29);
    id.destination = id.isPdu1() ? id.pduSpecific : kGlobalAddress;
    return id;
}

uint32_t pgnOfId(uint32_t id29) {
    uint32_t pgn = (id29 >> 8) & 0x3FFFF;
    if (((pgn >> 8) & 0xFF) < 240)
        pgn &= 0x3FF00;
    return pgn;
}

uint32_t joinJ1939Id(uint8_t priority, uint32_t pgn, uint8_t destination, uint8_t source) {
    pgn &= 0x3FFFF;
    const bool pdu1 = ((pgn >> 8) & 0xFF) < 240;
    if (pdu1)
        pgn = (pgn & 0x3FF00) | destination;
    return (uint32_t{priority & 0x7u} << 26) | (pgn << 8) | source;
}

} // namespace decode
