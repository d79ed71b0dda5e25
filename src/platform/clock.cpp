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

namespace {
std::int64_t elapsedMilliseconds() {
    const auto elapsed = std::chrono::steady_clock::now() - processStart();
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}
} // namespace

std::uint32_t tickCount() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(elapsedMilliseconds()));
}

std::chrono::steady_clock::time_point tickTime(std::uint32_t tick) {
    const std::int64_t elapsed = elapsedMilliseconds();
    const auto ahead = static_cast<std::int32_t>(tick - static_cast<std::uint32_t>(elapsed));
    return processStart() + std::chrono::milliseconds(elapsed + ahead);
}

} // namespace platform
