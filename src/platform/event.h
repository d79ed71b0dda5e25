#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform {

// An unnamed auto-reset event. It starts not signalled. set() signals it; a
// signal that finds no waiter stays pending until one wait consumes it, and
// each signal releases exactly one wait. Setting an already signalled event
// changes nothing (signals do not accumulate).
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void set();

    // Blocks until the event is signalled, then resets it.
    void wait();

    // As wait(), but gives up after timeout; returns whether the signal was
    // consumed.
    bool waitFor(std::chrono::milliseconds timeout);

    // True while a thread is blocked in wait() and no signal is pending for
    // it: the waiter is parked, not merely woken and not yet running.
    bool hasParkedWaiter();

private:
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool set_ = false;
    int waiters_ = 0;
};

// Returns a new event, or null when the event cannot be created; the caller
// then has no event to wake a worker with.
std::unique_ptr<AutoResetEvent> createAutoResetEvent();

namespace testing {
// Makes the next n calls of createAutoResetEvent() fail.
void failNextEventCreations(int n);
// Makes only the k-th next call of createAutoResetEvent() fail (0: none).
void failEventCreationAt(int k);
} // namespace testing

} // namespace platform
