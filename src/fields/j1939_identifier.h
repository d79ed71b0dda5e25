#pragma once
// The 29-bit J1939 identifier and its five fields: priority (bits 26-28),
// data page (bit 24), PDU format (bits 16-23), PDU specific (bits 8-15) and
// source address (bits 0-7). Bit 25 and bits 29-31 are always 0.

#include <QString>

#include <cstdint>

namespace fields {

inline constexpr uint32_t kIdentifierMask = 0x1DFFFFFF;

struct IdentifierFields {
    uint8_t priority = 0;
    uint8_t page = 0;
    uint8_t pf = 0;
    uint8_t destination = 0;
    uint8_t source = 0;

    bool operator==(const IdentifierFields&) const = default;
};

uint32_t composeIdentifier(const IdentifierFields& fields);
// Splits value into its fields; the identifier they make is value & kIdentifierMask.
IdentifierFields decomposeIdentifier(uint32_t value);

// The identifier as shown: "%X" in hexadecimal mode, "%u" in decimal mode.
QString identifierText(uint32_t identifier, bool hexMode);
// Reads a shown identifier by the C rule of "%x" or "%u"; false when the
// text holds no number (value is then left as it was).
bool parseIdentifierText(const QString& text, bool hexMode, uint32_t& value);

} // namespace fields
