#include "transmit/j1850_identifier.h"

namespace transmit {

uint8_t j1850HeaderByte(uint8_t priority, uint8_t addressType, uint8_t typeModifier) {
    return static_cast<uint8_t>(((priority & 0x7) << 5) | 0x08 | ((addressType & 0x1) << 2) |
                                (typeModifier & 0x3));
}

uint32_t composeJ1850Identifier(const J1850Fields& f) {
    return (uint32_t{j1850HeaderByte(f.priority, f.addressType, f.typeModifier)} << 16) |
           (uint32_t{f.target} << 8) | f.source;
}

uint32_t maskJ1850Identifier(uint32_t value) {
    return (value & kJ1850KeptBits) | kJ1850NoIfrBit;
}

J1850Fields decomposeJ1850Identifier(uint32_t identifier) {
    return j1850FieldsOfHeader(static_cast<uint8_t>(identifier >> 16), static_cast<uint8_t>(identifier >> 8),
                               static_cast<uint8_t>(identifier));
}

J1850Fields j1850FieldsOfHeader(uint8_t header, uint8_t target, uint8_t source) {
    J1850Fields f;
    f.priority = static_cast<uint8_t>(header >> 5);
    f.addressType = static_cast<uint8_t>((header >> 2) & 0x1);
    f.typeModifier = static_cast<uint8_t>(header & 0x3);
    f.target = target;
    f.source = source;
    return f;
}

} // namespace transmit
