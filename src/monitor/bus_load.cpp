#include "monitor/bus_load.h"

#include <algorithm>

namespace monitor {

uint32_t canFrameBitsWorstCase(bool extendedId, std::size_t dataLength) {
    const uint32_t dataBits = 8 * uint32_t(std::min<std::size_t>(dataLength, 8));
    const uint32_t stuffedHeader = extendedId ? 54 : 34; // header and CRC bits exposed to stuffing
    const uint32_t fixed = extendedId ? 67 : 47;
    return dataBits + fixed + (stuffedHeader + dataBits - 1) / 4;
}

uint32_t j1939MessageBits(std::size_t dataLength) {
    if (dataLength <= 8)
        return canFrameBitsWorstCase(true, dataLength);
    const auto dataFrames = uint32_t((dataLength + 6) / 7);
    return (dataFrames + 1) * canFrameBitsWorstCase(true, 8);
}

uint32_t j1708MessageBits(std::size_t dataLength) {
    constexpr uint32_t kBitsPerCharacter = 10;
    constexpr uint32_t kIdleBits = 12;
    return uint32_t(dataLength + 2) * kBitsPerCharacter + kIdleBits;
}

double busLoadPercent(uint64_t bits, double seconds, uint32_t bitRate) {
    if (seconds <= 0 || bitRate == 0)
        return 0;
    return 100.0 * double(bits) / (seconds * double(bitRate));
}

} // namespace monitor
