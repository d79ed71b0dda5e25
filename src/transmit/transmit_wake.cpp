#include "transmit/transmit_wake.h"

namespace transmit {

uint64_t TransmitWake::changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
}

void TransmitWake::notify() {
    {
        std::lock_guard lock(mutex_);
        ++changes_;
    }
    changed_.notify_all();
}

void TransmitWake::recheck() {
    { std::lock_guard lock(mutex_); } // a waiter between its test and its sleep sees the change
    changed_.notify_all();
}

void TransmitWake::wait(uint64_t seen, std::optional<std::chrono::steady_clock::time_point> deadline,
                        const std::function<bool()>& ready) {
    std::unique_lock lock(mutex_);
    const auto woken = [&] { return changes_ != seen || (ready && ready()); };
    if (deadline)
        changed_.wait_until(lock, *deadline, woken);
    else
        changed_.wait(lock, woken);
}

} // namespace transmit
