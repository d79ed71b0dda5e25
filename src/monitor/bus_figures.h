#pragma once
// The figures above the monitor's table: message rates and bus loads over
// the last second, and the counts our driver keeps in its hardware status.

#include "monitor/message_store.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

namespace monitor {

struct BusRates {
    double j1939PerSecond = 0;
    double j1939LoadPercent = 0;
    double j1708PerSecond = 0;
    double j1708LoadPercent = 0;
};

// Rates from the store's totals, sampled a few times a second: over the
// last second once a second of samples is there, over what there is before.
class RateMeter {
public:
    void sample(int64_t nowUs, const BusTotals& totals);
    BusRates rates(uint32_t canBitRate) const;
    void clear() { samples_.clear(); }

private:
    struct Sample {
        int64_t timeUs;
        BusTotals totals;
    };
    std::deque<Sample> samples_;
};

// Counts from our own driver's hardware status (41 bytes, numbers most
// significant byte first).
struct DriverCounts {
    uint32_t droppedQueueFull = 0;
    uint32_t droppedTooLong = 0;
    uint32_t replaySkipped = 0;
    uint32_t recorderLost = 0;
    uint8_t busState = 0; // 0 error active, 1 warning, 2 passive, 3 bus off
};
inline constexpr std::size_t kHardwareStatusSize = 41;
std::optional<DriverCounts> parseHardwareStatus(std::span<const uint8_t> status);
QString busStateText(uint8_t state);

} // namespace monitor
