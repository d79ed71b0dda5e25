// Time inside the driver: microseconds on a monotonic base that starts when
// the library is loaded. Everything that waits or keeps a timer asks a Clock,
// so tests can run protocol timers on a clock they advance themselves.
#pragma once

#include <atomic>
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

// A clock that moves only when told to. A test may move it while a link's or
// an engine's thread reads it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(Micros start = 0) : now_(start) {}
    Micros now() const override { return now_.load(std::memory_order_acquire); }
    void set(Micros t) { now_.store(t, std::memory_order_release); }
    void advance(Micros d) { now_.fetch_add(d, std::memory_order_acq_rel); }

private:
    std::atomic<Micros> now_;
};

} // namespace zt
