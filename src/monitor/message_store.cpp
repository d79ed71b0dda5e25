#include "monitor/message_store.h"

#include "monitor/bus_load.h"

#include <algorithm>
#include <cmath>

namespace monitor {

namespace {
constexpr int64_t kPeriodWindowUs = 1'000'000;
}

void MessageStore::record(const BusFrame& frame, int64_t timeUs) {
    std::lock_guard guard(lock_);
    if (frame.key.protocol == BusProtocol::J1939) {
        ++totals_.j1939Frames;
        totals_.j1939Bits += j1939MessageBits(frame.data.size());
    } else {
        ++totals_.j1708Frames;
        totals_.j1708Bits += j1708MessageBits(frame.data.size());
    }
    generation_.fetch_add(1, std::memory_order_release);

    auto found = index_.find(frame.key);
    std::size_t at;
    if (found == index_.end()) {
        if (rows_.size() >= kMaxRows) {
            ++totals_.withoutRow;
            return;
        }
        at = rows_.size();
        index_.emplace(frame.key, at);
        Row& created = rows_.emplace_back();
        created.shown.key = frame.key;
        created.shown.firstUs = timeUs;
    } else {
        at = found->second;
    }
    Row& row = rows_[at];
    MessageSnapshot& shown = row.shown;
    shown.priority = frame.priority;
    shown.destination = frame.destination;

    // A byte changed when it differs from the previous message's; bytes a
    // longer message adds change too. The first message changes nothing.
    const bool first = shown.count == 0;
    const std::size_t length = frame.data.size();
    shown.byteChangedUs.resize(length, first ? kNever : timeUs);
    if (!first)
        for (std::size_t i = 0; i < std::min(length, shown.data.size()); ++i)
            if (shown.data[i] != frame.data[i])
                shown.byteChangedUs[i] = timeUs;
    shown.data.assign(frame.data.begin(), frame.data.end());

    ++shown.count;
    shown.lastUs = timeUs;
    row.arrivals[row.nextArrival] = timeUs;
    row.nextArrival = (row.nextArrival + 1) % kArrivalHistory;
    row.arrivalCount = std::min(row.arrivalCount + 1, kArrivalHistory);
    if (!row.dirty) {
        row.dirty = true;
        dirtyRows_.push_back(at);
    }
}

PeriodStats MessageStore::periodOf(const std::vector<int64_t>& arrivals) {
    PeriodStats stats;
    if (arrivals.size() < 2)
        return stats;
    const int64_t latest = arrivals.back();
    // Intervals wholly within the second before the latest arrival; the
    // latest interval always counts, however long.
    std::size_t firstEnd = arrivals.size() - 1;
    while (firstEnd > 1 && latest - arrivals[firstEnd - 2] <= kPeriodWindowUs)
        --firstEnd;
    const std::size_t intervals = arrivals.size() - firstEnd;
    double sum = 0;
    for (std::size_t i = firstEnd; i < arrivals.size(); ++i)
        sum += double(arrivals[i] - arrivals[i - 1]);
    const double mean = sum / double(intervals);
    double squares = 0;
    for (std::size_t i = firstEnd; i < arrivals.size(); ++i) {
        const double deviation = double(arrivals[i] - arrivals[i - 1]) - mean;
        squares += deviation * deviation;
    }
    stats.known = true;
    stats.periodMs = mean / 1000.0;
    stats.jitterMs = std::sqrt(squares / double(intervals)) / 1000.0;
    return stats;
}

PeriodStats MessageStore::periodOfRow(const Row& row) const {
    // Only the arrivals that can matter: those within a second of the latest.
    thread_local std::vector<int64_t> arrivals;
    arrivals.clear();
    const std::size_t oldest = (row.nextArrival + kArrivalHistory - row.arrivalCount) % kArrivalHistory;
    for (std::size_t i = 0; i < row.arrivalCount; ++i)
        arrivals.push_back(row.arrivals[(oldest + i) % kArrivalHistory]);
    return periodOf(arrivals);
}

std::size_t MessageStore::takeChanged(std::vector<MessageSnapshot>& out) {
    std::lock_guard guard(lock_);
    for (std::size_t at : dirtyRows_) {
        Row& row = rows_[at];
        row.dirty = false;
        row.shown.period = periodOfRow(row);
        out.push_back(row.shown);
    }
    const std::size_t taken = dirtyRows_.size();
    dirtyRows_.clear();
    return taken;
}

void MessageStore::clear() {
    std::lock_guard guard(lock_);
    index_.clear();
    rows_.clear();
    dirtyRows_.clear();
    totals_ = {};
    generation_.fetch_add(1, std::memory_order_release);
}

BusTotals MessageStore::totals() const {
    std::lock_guard guard(lock_);
    return totals_;
}

std::size_t MessageStore::rowCount() const {
    std::lock_guard guard(lock_);
    return rows_.size();
}

} // namespace monitor
