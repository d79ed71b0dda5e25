// Fuzzes the receive configuration decoder: any bytes are either refused or
// accepted, and what is accepted encodes to a file that decodes to the same
// fields again.
#include "receive/receive_config.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace receive;
    const ReceiveConfigResult first = decodeReceiveConfig(std::span<const uint8_t>(data, size));
    if (first.error != ReceiveConfigError::None)
        return 0;

    const std::vector<uint8_t> bytes = encodeReceiveConfig(first.config);
    if (bytes.size() != kReceiveConfigSize)
        std::abort();
    const ReceiveConfigResult second = decodeReceiveConfig(bytes);
    if (second.error != ReceiveConfigError::None || second.config.revision != kReceiveConfigRevision)
        std::abort();

    // The optional fields survive only when the input had them.
    ReceiveConfig expected = first.config;
    expected.revision = kReceiveConfigRevision;
    if (!first.config.hasOptionalFields()) {
        expected.j1708FilterMode = second.config.j1708FilterMode;
        expected.j1850Box = second.config.j1850Box;
        expected.j1939FilterMode = second.config.j1939FilterMode;
    }
    if (!(second.config == expected))
        std::abort();
    // A 27-byte input of revision 336 comes back byte for byte.
    if (size == kReceiveConfigSize && first.config.revision == kReceiveConfigRevision &&
        !std::equal(bytes.begin(), bytes.end(), data))
        std::abort();
    return 0;
}
