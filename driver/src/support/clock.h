// Time inside the driver: microseconds on a monotonic base that starts when
// the library is loaded. Everything that waits or keeps a timer asks a Clock,
// so tests can run protocol timers on a clock they advance themselves.
#pragma once

#include <cstdint>

namespace zt {

using Micros = int64_t;

constexpr Micros kMicrosPerMs = 1000;

class Clock {
public:
    virtual ~Clock() = default;
    virtual Micros now() const = 0;
};

// The steady clock, counted from the library's load.
Clock& systemClock();

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(Micros start = 0) : now_(start) {}
    Micros now() const override { return now_; }
    void set(Micros t) { now_ = t; }
    void advance(Micros d) { now_ += d; }

private:
    Micros now_;
};

} // namespace zt
