#pragma once
// The 24-bit J1850 identifier: the three-byte header's first byte (priority,
// header type H, in-frame response K, addressing Y, type modifier), then the
// target or primary ID and the source. H is always 0 (three-byte header) and
// K always 1 (no in-frame response).

#include <cstdint>

namespace transmit {

inline constexpr uint32_t kJ1850NoIfrBit = 0x080000; // K, bit 19
inline constexpr uint32_t kJ1850KeptBits = 0xE7FFFF; // everything but H, K and bits 24-31

struct J1850Fields {
    uint8_t priority = 0;     // 0 to 7
    uint8_t addressType = 0;  // 0 functional, 1 physical
    uint8_t typeModifier = 0; // 0 to 3
    uint8_t target = 0;
    uint8_t source = 0;

    bool operator==(const J1850Fields&) const = default;
};

// (priority << 5) | 0x08 | (addressType << 2) | typeModifier, each field cut
// to its width.
uint8_t j1850HeaderByte(uint8_t priority, uint8_t addressType, uint8_t typeModifier);
uint32_t composeJ1850Identifier(const J1850Fields& fields);
// A typed value made a valid identifier: bits 24-31 dropped, H cleared, K set.
uint32_t maskJ1850Identifier(uint32_t value);
// The fields of a (masked) identifier.
J1850Fields decomposeJ1850Identifier(uint32_t identifier);
// The fields of a header byte with its target and source; H and K are not read.
J1850Fields j1850FieldsOfHeader(uint8_t header, uint8_t target, uint8_t source);

} // namespace transmit
