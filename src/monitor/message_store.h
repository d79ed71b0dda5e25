#pragma once
// What the monitor knows of every message seen: counts, arrival times, the
// last data and when each byte last changed. The reader thread records each
// message under the store's lock; the user-interface thread takes copies of
// the rows that changed a few times a second. Nothing is handed over per
// message, and every message is counted whether or not the table keeps up.

#include "monitor/bus_frame.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace monitor {

inline constexpr int64_t kNever = std::numeric_limits<int64_t>::min();

// Mean and standard deviation of the intervals between arrivals that lie
// within the second before the latest arrival (at most the last
// kArrivalHistory arrivals); the latest interval counts however long.
struct PeriodStats {
    bool known = false; // false until a second arrival
    double periodMs = 0;
    double jitterMs = 0;
};

struct MessageSnapshot {
    MessageKey key;
    uint8_t priority = 0;
    uint8_t destination = 0;
    uint64_t count = 0;
    int64_t firstUs = 0;
    int64_t lastUs = 0;
    PeriodStats period;
    std::vector<uint8_t> data;
    std::vector<int64_t> byteChangedUs; // per data byte; kNever: unchanged since first seen
};

// Frames and bus bits since the last clear, per bus.
struct BusTotals {
    uint64_t j1939Frames = 0;
    uint64_t j1939Bits = 0;
    uint64_t j1708Frames = 0;
    uint64_t j1708Bits = 0;
    // Messages counted in the totals but given no row (the row limit was
    // reached).
    uint64_t withoutRow = 0;
};

class MessageStore {
public:
    static constexpr std::size_t kArrivalHistory = 1024;
    static constexpr std::size_t kMaxRows = 20000;

    // Reader thread: one message received at timeUs.
    void record(const BusFrame& frame, int64_t timeUs);

    // User-interface thread: appends a copy of each row changed since the
    // last call (new rows too) to out; returns how many.
    std::size_t takeChanged(std::vector<MessageSnapshot>& out);
    // Forgets every row and total.
    void clear();

    BusTotals totals() const;
    std::size_t rowCount() const;
    // Increments with every recorded message and every clear; read without
    // the lock, so an idle refresh costs nothing.
    uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

    static PeriodStats periodOf(const std::vector<int64_t>& arrivalsOldestFirst);

private:
    struct Row {
        MessageSnapshot shown;
        std::array<int64_t, kArrivalHistory> arrivals{}; // ring
        std::size_t arrivalCount = 0;                    // in the ring
        std::size_t nextArrival = 0;
        bool dirty = false;
    };
    PeriodStats periodOfRow(const Row& row) const;

    mutable std::mutex lock_;
    std::unordered_map<MessageKey, std::size_t, MessageKeyHash> index_;
    std::vector<Row> rows_;
    std::vector<std::size_t> dirtyRows_;
    BusTotals totals_;
    std::atomic<uint64_t> generation_{0};
};

} // namespace monitor
