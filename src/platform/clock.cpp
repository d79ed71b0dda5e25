#include "platform/clock.h"

#include <chrono>

namespace platform {

namespace {
// The start point is fixed at the first use, which the initialiser below
// forces to happen while the program loads; a static initialiser elsewhere
// that reads the clock earlier still gets a valid start.
std::chrono::steady_clock::time_point processStart() {
    static const auto start = std::chrono::steady_clock::now();
    return start;
}

const auto startFixedAtLoad = processStart();
} // namespace

std::uint32_t tickCount() {
    const auto elapsed = std::chrono::steady_clock::now() - processStart();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

} // namespace platform
