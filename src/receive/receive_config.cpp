#include "receive/receive_config.h"

#include "platform/byte_reader.h"

#include <algorithm>

namespace receive {

namespace {

using Reader = platform::ByteReader;

bool isFlag(uint8_t value) {
    return value <= 1;
}

} // namespace

std::vector<uint8_t> encodeReceiveConfig(const ReceiveConfig& config) {
    std::vector<uint8_t> bytes(std::begin(kReceiveConfigMagic), std::end(kReceiveConfigMagic));
    bytes.push_back(0); // compatibility byte
    for (int i = 0; i < 4; ++i)
        bytes.push_back(uint8_t(kReceiveConfigRevision >> (8 * i)));
    const uint8_t fields[] = {config.j1708Box, config.j1708Mid,       config.j1708FilterMode,
                              config.j1850Box, config.j1939Box,       config.usePriority,
                              config.usePgn,   config.useDestination, config.useSource,
                              config.pf,       config.destination,    config.page,
                              config.priority, config.source,         config.j1939FilterMode};
    bytes.insert(bytes.end(), std::begin(fields), std::end(fields));
    return bytes;
}

ReceiveConfigResult decodeReceiveConfig(std::span<const uint8_t> bytes) {
    ReceiveConfigResult result;
    if (bytes.size() < kReceiveConfigHeaderSize ||
        !std::equal(std::begin(kReceiveConfigMagic), std::end(kReceiveConfigMagic), bytes.begin()))
        return result;
    if (bytes[7] != 0) {
        result.error = ReceiveConfigError::IncompatibleVersion;
        return result;
    }

    Reader reader(bytes.subspan(8));
    ReceiveConfig& c = result.config;
    reader.word(c.revision);
    const bool optional = c.hasOptionalFields();
    if (bytes.size() != (optional ? kReceiveConfigSize : kReceiveConfigShortSize))
        return result;
    // The size matches the layout, so every read below succeeds.
    reader.byte(c.j1708Box);
    reader.byte(c.j1708Mid);
    if (optional) {
        reader.byte(c.j1708FilterMode);
        reader.byte(c.j1850Box);
    }
    reader.byte(c.j1939Box);
    reader.byte(c.usePriority);
    reader.byte(c.usePgn);
    reader.byte(c.useDestination);
    reader.byte(c.useSource);
    reader.byte(c.pf);
    reader.byte(c.destination);
    reader.byte(c.page);
    reader.byte(c.priority);
    reader.byte(c.source);
    if (optional)
        reader.byte(c.j1939FilterMode);
    if (!reader.atEnd())
        return result;

    const uint8_t flags[] = {c.j1708Box, c.j1708FilterMode, c.j1850Box,  c.j1939Box, c.usePriority,
                             c.usePgn,   c.useDestination,  c.useSource, c.page,     c.j1939FilterMode};
    if (!std::all_of(std::begin(flags), std::end(flags), isFlag) || c.priority > 7)
        return result;
    result.error = ReceiveConfigError::None;
    return result;
}

} // namespace receive
