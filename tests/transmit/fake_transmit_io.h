#pragma once
// A transmit world the test controls: a clock it sets, a driver that records
// sends and answers with scripted results, a record of the notifications,
// and of the moments the thread asked to sleep until.

#include "transmit/transmit_table.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class FakeTransmitIo : public transmit::TransmitIo {
public:
    struct Send {
        int16_t client;
        std::vector<uint8_t> bytes;
        int16_t block;
        uint32_t at;
    };

    std::atomic<uint32_t> clock{0};
    // Added to the clock after every reading (0: the clock stands still).
    std::atomic<uint32_t> autoAdvance{0};
    std::atomic<uint8_t> connected{7};

    uint32_t now() override { return clock.fetch_add(autoAdvance.load()); }
    // Moves the clock and wakes a thread sleeping until a later reading.
    void setClock(uint32_t reading) {
        clock.store(reading);
        if (transmit::TransmitWake* wake = sleepingOn_.load())
            wake->recheck();
    }
    // Sleeps until the test's clock reaches due, not the real one.
    void sleepUntil(std::optional<uint32_t> due, transmit::TransmitWake& wake, uint64_t seen) override {
        {
            std::lock_guard lock(mutex_);
            wakes_.push_back(due);
        }
        sleepingOn_.store(&wake);
        wake.wait(seen, std::nullopt, [&] { return due && int32_t(clock.load() - *due) >= 0; });
    }
    uint8_t connectedProtocols() override { return connected.load(); }
    int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t block) override {
        std::lock_guard lock(mutex_);
        int16_t result = 0;
        if (!results_.empty()) {
            result = results_.front();
            results_.pop_front();
        }
        if (result == 0)
            sends_.push_back({client, std::vector<uint8_t>(bytes, bytes + length), block, clock.load()});
        ++attempts_;
        return result;
    }
    int16_t clientId(int32_t protocol) override { return int16_t(100 + protocol); }
    void post(QObject*, unsigned code) override {
        std::lock_guard lock(mutex_);
        posts_.push_back(code);
    }

    void queueResult(int16_t result) {
        std::lock_guard lock(mutex_);
        results_.push_back(result);
    }
    std::vector<Send> sends() const {
        std::lock_guard lock(mutex_);
        return sends_;
    }
    std::vector<unsigned> posts() const {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    // The reading each sleep between passes was to end at (none: until a change).
    std::vector<std::optional<uint32_t>> wakes() const {
        std::lock_guard lock(mutex_);
        return wakes_;
    }
    int attempts() const {
        std::lock_guard lock(mutex_);
        return attempts_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        sends_.clear();
        posts_.clear();
        attempts_ = 0;
    }

private:
    mutable std::mutex mutex_;
    std::deque<int16_t> results_;
    std::vector<Send> sends_;
    std::vector<unsigned> posts_;
    std::vector<std::optional<uint32_t>> wakes_;
    std::atomic<transmit::TransmitWake*> sleepingOn_{nullptr};
    int attempts_ = 0;
};

} // namespace testsupport
