#pragma once
// The display line of one received message: what the receive threads read
// from the driver's buffer and the exact text they put into the receive text.

#include "connect/driver_binding.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace receive {

// Per-protocol constants of a receive thread.
struct ReceiveLimits {
    int bufferSize;    // bytes offered to RP1210_ReadMessage
    int minimumLength; // shorter reads are skipped
    int firstDataByte; // first byte shown in the Data column
};

inline constexpr ReceiveLimits receiveLimits(connect::Protocol protocol) {
    switch (protocol) {
    case connect::Protocol::J1708:
        return {505, 6, 6};
    case connect::Protocol::J1850:
        return {255, 13, 11};
    case connect::Protocol::J1939:
        break;
    }
    return {1785, 6, 10};
}

inline constexpr int kLargestReceiveBuffer = 1785;
// Bytes at and after this one are never shown.
inline constexpr int kShownByteLimit = 32;
// Each thread's line buffer; the longest line takes 169 characters.
inline constexpr std::size_t kLineBufferSize = 256;

// A read result, taken as unsigned 16-bit, that names a message to show:
// 0, every negative error code and anything longer than the buffer is not.
inline constexpr bool isAcceptedLength(connect::Protocol protocol, uint16_t length) {
    const ReceiveLimits limits = receiveLimits(protocol);
    return length >= limits.minimumLength && length <= limits.bufferSize;
}

// The J1939 identifier of a receive buffer: priority << 26 | page byte << 24
// | PF << 16 | (PS | destination) << 8 | source. Bytes at or after length
// count as 0.
uint32_t j1939Identifier(const uint8_t* bytes, std::size_t length);

// Writes the display line of the length bytes delivered, "\r\n" included,
// into out (kLineBufferSize characters) and returns its length. Bytes at or
// after length are never read; a header byte the read did not deliver counts
// as 0.
std::size_t formatDisplayLine(connect::Protocol protocol, const uint8_t* bytes, std::size_t length,
                              bool hexMode, char* out);

std::string displayLine(connect::Protocol protocol, std::span<const uint8_t> bytes, bool hexMode);

} // namespace receive
