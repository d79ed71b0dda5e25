#include "fields/j1939_identifier.h"

#include "platform/crt_format.h"

namespace fields {

uint32_t composeIdentifier(const IdentifierFields& f) {
    uint32_t id = (uint32_t{f.priority} << 2) | f.page;
    id = (id << 8) | f.pf;
    id = (id << 8) | f.destination;
    id = (id << 8) | f.source;
    return id;
}

IdentifierFields decomposeIdentifier(uint32_t value) {
    IdentifierFields f;
    f.priority = static_cast<uint8_t>((value >> 26) & 0x7);
    f.pf = static_cast<uint8_t>(value >> 16);
    f.page = static_cast<uint8_t>((value >> 24) & 0x1);
    f.destination = static_cast<uint8_t>(value >> 8);
    f.source = static_cast<uint8_t>(value);
    return f;
}

QString identifierText(uint32_t identifier, bool hexMode) {
    return hexMode ? QString::number(identifier, 16).toUpper() : QString::number(identifier);
}

bool parseIdentifierText(const QString& text, bool hexMode, uint32_t& value) {
    const std::string bytes = text.toStdString();
    return hexMode ? platform::scanHex(bytes, value) : platform::scanUnsigned(bytes, value);
}

} // namespace fields
