#pragma once
// What the transmit thread sleeps on between passes: a count of the changes
// that can make a row due sooner than the pass worked out (Start, Stop, a row
// replaced or removed, counts zeroed), and a wait that also ends at a
// deadline. The thread reads the count before it looks at the rows, so a
// change made while it passes ends the wait that follows at once.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace transmit {

class TransmitWake {
public:
    uint64_t changes() const;
    // Counts a change and wakes the waiter.
    void notify();
    // Wakes the waiter to test its ready condition again, counting no change
    // (a test clock that moved).
    void recheck();

    // Blocks until changes() differs from seen, ready() holds (tested under
    // the lock, so pair every change to what it reads with recheck()), or the
    // deadline passes; no deadline waits for the other two.
    void wait(uint64_t seen, std::optional<std::chrono::steady_clock::time_point> deadline,
              const std::function<bool()>& ready = {});

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t changes_ = 0;
};

} // namespace transmit
