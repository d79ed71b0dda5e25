#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since the process started, on a steady clock, truncated to 32
// bits: the count wraps to 0 after about 49.7 days, so callers compare times
// by unsigned 32-bit differences.
std::uint32_t tickCount();

} // namespace platform
