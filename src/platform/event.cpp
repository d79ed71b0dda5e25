#include "platform/event.h"

#include <atomic>
#include <new>

namespace platform {

namespace {
std::atomic<int> eventFailuresPending{0};

bool takeInjectedFailure() {
    int pending = eventFailuresPending.load();
    while (pending > 0) {
        if (eventFailuresPending.compare_exchange_weak(pending, pending - 1)) {
            return true;
        }
    }
    return false;
}
} // namespace

void AutoResetEvent::set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    signalled_.notify_one();
}

void AutoResetEvent::wait() {
    std::unique_lock lock(mutex_);
    ++waiters_;
    signalled_.wait(lock, [this] { return set_; });
    --waiters_;
    set_ = false;
}

bool AutoResetEvent::hasParkedWaiter() {
    std::lock_guard lock(mutex_);
    return waiters_ > 0 && !set_;
}

bool AutoResetEvent::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!signalled_.wait_for(lock, timeout, [this] { return set_; })) {
        return false;
    }
    set_ = false;
    return true;
}

namespace {
// Counts down to the one creation that fails (0: none).
std::atomic<int> failingCreationCountdown{0};

bool takeCountdownFailure() {
    int left = failingCreationCountdown.load();
    while (left > 0 && !failingCreationCountdown.compare_exchange_weak(left, left - 1)) {
    }
    return left == 1;
}
} // namespace

std::unique_ptr<AutoResetEvent> createAutoResetEvent() {
    if (takeCountdownFailure() || takeInjectedFailure()) {
        return nullptr;
    }
    return std::unique_ptr<AutoResetEvent>(new (std::nothrow) AutoResetEvent);
}

namespace testing {
void failNextEventCreations(int n) {
    eventFailuresPending.store(n > 0 ? n : 0);
}

void failEventCreationAt(int k) {
    failingCreationCountdown.store(k > 0 ? k : 0);
}
} // namespace testing

} // namespace platform
