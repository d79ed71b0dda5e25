#pragma once

#include <chrono>
#include <cstdint>

namespace platform {

// Milliseconds since the process started, on a steady clock, truncated to 32
// bits: the count wraps to 0 after about 49.7 days, so callers compare times
// by unsigned 32-bit differences.
std::uint32_t tickCount();

// The moment at which tickCount() first reads tick, for an absolute-deadline
// wait; of the readings that wrap to tick, the one nearest to now (within
// about 24.8 days either side).
std::chrono::steady_clock::time_point tickTime(std::uint32_t tick);

} // namespace platform
