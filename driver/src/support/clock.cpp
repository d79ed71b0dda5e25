#include "support/clock.h"

#include <chrono>

namespace zt {
namespace {

class SteadyClock final : public Clock {
public:
    Micros now() const override {
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_)
            .count();
    }

private:
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

Clock& systemClock() {
    static SteadyClock clock;
    return clock;
}

} // namespace zt
