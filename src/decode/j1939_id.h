#pragma once
// The fields of a 29-bit J1939 identifier.

#include <cstdint>

namespace decode {

inline constexpr uint8_t kGlobalAddress = 0xFF;

struct J1939Id {
    uint8_t priority = 0;
    bool extendedDataPage = false;
    bool dataPage = false;
    uint8_t pduFormat = 0;
    uint8_t pduSpecific = 0;
    // PDU1 (PF < 240): the PS byte is the destination and not part of the
    // PGN; PDU2: PS is the group extension and belongs to the PGN.
    uint32_t pgn = 0;
    uint8_t source = 0;
    uint8_t destination = kGlobalAddress; // 0xFF for PDU2
    bool isPdu1() const { return pduFormat < 240; }
};

// Bits above 28 are ignored.
J1939Id splitJ1939Id(uint32_t id29);
// The destination is used only when the PGN is a PDU1 one.
uint32_t joinJ1939Id(uint8_t priority, uint32_t pgn, uint8_t destination, uint8_t source);
// The PGN of an identifier, with the PDU1 destination byte cleared.
uint32_t pgnOfId(uint32_t id29);

} // namespace decode
