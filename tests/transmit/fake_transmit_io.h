#pragma once
// A transmit world the test controls: a clock it sets, a driver that records
// sends and answers with scripted results, and a record of the notifications.

#include "transmit/transmit_table.h"

#include <atomic>
#include <deque>
#include <mutex>
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
    int attempts_ = 0;
};

} // namespace testsupport
