#include "monitor/bus_figures.h"

#include "monitor/bus_load.h"

namespace monitor {

namespace {
constexpr int64_t kWindowUs = 1'000'000;

uint32_t bigEndian32(std::span<const uint8_t> bytes, std::size_t at) {
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) |
           uint32_t(bytes[at + 3]);
}
} // namespace

void RateMeter::sample(int64_t nowUs, const BusTotals& totals) {
    // A clear of the store restarts the totals: so do the samples.
    if (!samples_.empty() && totals.j1939Frames < samples_.back().totals.j1939Frames)
        samples_.clear();
    if (!samples_.empty() && totals.j1708Frames < samples_.back().totals.j1708Frames)
        samples_.clear();
    samples_.push_back({nowUs, totals});
    // Keep the newest sample at least a second old as the window's start.
    while (samples_.size() > 2 && nowUs - samples_[1].timeUs >= kWindowUs)
        samples_.pop_front();
}

BusRates RateMeter::rates(uint32_t canBitRate) const {
    BusRates rates;
    if (samples_.size() < 2)
        return rates;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const double seconds = double(last.timeUs - first.timeUs) / 1e6;
    if (seconds <= 0)
        return rates;
    rates.j1939PerSecond = double(last.totals.j1939Frames - first.totals.j1939Frames) / seconds;
    rates.j1708PerSecond = double(last.totals.j1708Frames - first.totals.j1708Frames) / seconds;
    rates.j1939LoadPercent =
        busLoadPercent(last.totals.j1939Bits - first.totals.j1939Bits, seconds, canBitRate);
    rates.j1708LoadPercent =
        busLoadPercent(last.totals.j1708Bits - first.totals.j1708Bits, seconds, kJ1708BitRate);
    return rates;
}

std::optional<DriverCounts> parseHardwareStatus(std::span<const uint8_t> status) {
    if (status.size() < kHardwareStatusSize)
        return std::nullopt;
    DriverCounts counts;
    counts.droppedQueueFull = bigEndian32(status, 20);
    counts.droppedTooLong = bigEndian32(status, 24);
    counts.replaySkipped = bigEndian32(status, 32);
    counts.recorderLost = bigEndian32(status, 36);
    counts.busState = status[40];
    return counts;
}

QString busStateText(uint8_t state) {
    switch (state) {
    case 0:
        return QStringLiteral("error active");
    case 1:
        return QStringLiteral("warning");
    case 2:
        return QStringLiteral("error passive");
    case 3:
        return QStringLiteral("bus off");
    default:
        return QStringLiteral("unknown (%1)").arg(state);
    }
}

} // namespace monitor
